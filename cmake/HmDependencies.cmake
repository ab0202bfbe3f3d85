# Debian 12 packages; scripts/deps installs them.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(LUA52 REQUIRED IMPORTED_TARGET lua5.2)
pkg_check_modules(EPOXY REQUIRED IMPORTED_TARGET epoxy)
pkg_check_modules(OPENAL REQUIRED IMPORTED_TARGET openal)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
pkg_check_modules(BULLET REQUIRED IMPORTED_TARGET bullet)
find_package(SDL2 REQUIRED)
find_package(ZLIB REQUIRED)

# luabind: Debian's build links only with LUABIND_USE_CXX11.
find_library(LUABIND_LIBRARY NAMES luabind REQUIRED)
add_library(hm_dep_luabind INTERFACE)
target_link_libraries(hm_dep_luabind INTERFACE ${LUABIND_LIBRARY} PkgConfig::LUA52)
# Boost's bind placeholders stay in the global namespace for luabind.
target_compile_definitions(hm_dep_luabind INTERFACE LUABIND_USE_CXX11 BOOST_BIND_GLOBAL_PLACEHOLDERS)
if(HM_SANITIZE)
  # luabind's object layout trips the alignment check.
  target_compile_options(hm_dep_luabind INTERFACE -fno-sanitize=alignment)
endif()

find_library(CAL3D_LIBRARY NAMES cal3d PATHS /usr/lib REQUIRED)
add_library(hm_dep_cal3d INTERFACE)
target_link_libraries(hm_dep_cal3d INTERFACE ${CAL3D_LIBRARY})

# Only the collision module of Bullet is used.
add_library(hm_dep_bullet INTERFACE)
target_include_directories(hm_dep_bullet SYSTEM INTERFACE ${BULLET_INCLUDE_DIRS})
target_link_libraries(hm_dep_bullet INTERFACE BulletCollision LinearMath)

add_library(hm_dep_sdl2 INTERFACE)
if(TARGET SDL2::SDL2)
  target_link_libraries(hm_dep_sdl2 INTERFACE SDL2::SDL2)
else()
  target_include_directories(hm_dep_sdl2 SYSTEM INTERFACE ${SDL2_INCLUDE_DIRS})
  target_link_libraries(hm_dep_sdl2 INTERFACE ${SDL2_LIBRARIES})
endif()

add_library(hm_dep_stb INTERFACE)
target_include_directories(hm_dep_stb SYSTEM INTERFACE /usr/include/stb)

if(HM_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(HM_BUILD_BENCH)
  find_package(benchmark REQUIRED)
endif()
