#pragma once
// The skeletal-animation data of the game: templates (one skeleton with its meshes
// and named animations, listed in an animation-templates XML file and loaded from
// "Data/anims/") and model instances made from them, one per animated object.
// Everything is named by hashed names.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include <rapidxml/rapidxml.hpp>

#include "engine/core/Singleton.h"
#include "engine/core/StringHash.h"

class CalCoreModel;
class CalModel;

namespace vd {
namespace anm {

class CMixer;

class CAnimationTemplate {
public:
  // What the library's mesh loader does not keep of a mesh entry.
  struct SMesh {
    int id = -1;
    int meshTypeId = 0;
    bool computeTangentSpace = false;
  };

  CAnimationTemplate() = default;
  ~CAnimationTemplate() { Unload(); }
  CAnimationTemplate(const CAnimationTemplate&) = delete;
  CAnimationTemplate& operator=(const CAnimationTemplate&) = delete;

  // Unloads what the template held, then loads the skeleton into a new core model
  // named after the template. False (logged) when the skeleton does not load.
  bool Create(const CStringHash& name, const std::string& skeletonPath);
  // Empties the template: meshes, animations, core model, name.
  void Unload();
  // Called by the template table before it deletes the template.
  void Reset() { Unload(); }

  // Each loads once per name; a file that does not load is logged and its name
  // stays unknown. True when the name is registered afterwards.
  bool LoadAnimation(const CStringHash& name, const std::string& path);
  bool LoadMesh(const CStringHash& name, const std::string& path, int meshTypeId,
                bool computeTangentSpace);

  // The core ids registered for the names; -1 for names the template does not have.
  int GetAnimationId(const CStringHash& name) const;
  int GetMeshId(const CStringHash& name) const;
  int FindMeshId(const CStringHash& name) const { return GetMeshId(name); }
  const SMesh* FindMesh(const CStringHash& name) const;

  const CStringHash& GetName() const { return m_name; }
  const std::string& GetFile() const { return m_file; }
  CalCoreModel* GetCoreModel() const { return m_coreModel; }
  size_t GetAnimationCount() const { return m_animations.size(); }
  size_t GetMeshCount() const { return m_meshes.size(); }

private:
  CStringHash m_name;
  std::string m_file;
  CalCoreModel* m_coreModel = nullptr;
  std::map<uint32_t, int> m_animations;
  std::map<uint32_t, SMesh> m_meshes;
};

// One animated model: the model (owned, with our mixer installed) and its template.
struct SAnimationInstance {
  CalModel* model = nullptr;
  CMixer* mixer = nullptr;  // owned by the model
  CAnimationTemplate* animationTemplate = nullptr;
};

class CAnimationManager : public utl::CSingleton<CAnimationManager> {
public:
  // The folder that every file named in an animation-templates file is under.
  static constexpr const char* kAnimFolder = "Data/anims/";

  CAnimationManager();
  ~CAnimationManager();
  CAnimationManager(const CAnimationManager&) = delete;
  CAnimationManager& operator=(const CAnimationManager&) = delete;

  // False when the file cannot be read, is empty or is not XML; otherwise loads
  // every template it lists (see the .cpp) and returns true.
  bool LoadTemplates(const char* xmlFile);
  // Creates and registers a template unless the id is registered already; a
  // template whose skeleton does not load is logged and not registered. The
  // registered template, or null.
  CAnimationTemplate* LoadTemplate(const CStringHash& id, const std::string& skeletonPath);
  CAnimationTemplate* FindTemplate(const CStringHash& id) const;

  // A new model of the template under the instance name. Null (logged) when the
  // template is unknown. A name in use keeps its model (logged).
  // `created` (when given) tells whether this call made the model.
  SAnimationInstance* CreateInstance(const CStringHash& instance, const CStringHash& templateId,
                                     bool* created = nullptr);
  // Deletes the instance's model; a name never created does nothing.
  void DestroyInstance(const CStringHash& instance);
  // Attaches the template's mesh of that name to the instance's model.
  bool AttachMesh(const CStringHash& instance, const CStringHash& mesh);
  // Null for names never created.
  CalModel* GetModel(const CStringHash& instance) const;
  CMixer* GetMixer(const CStringHash& instance) const;
  const SAnimationInstance* FindInstance(const CStringHash& instance) const;
  // The core-animation id of the instance's template; -1 when the instance or the
  // animation is unknown.
  int GetAnimationId(const CStringHash& instance, const CStringHash& animation) const;
  void ClearInstances();
  size_t GetInstanceCount() const;

  // Held by whoever uses a model's mixer: the loading thread may be adding
  // animations to the template (and so to the core model) of a model in use.
  std::recursive_mutex& GetLock() const { return m_lock; }

  // The animation library's loading mode: data authored z-up is turned y-up.
  static void SetLoadingModeRotateX();

  // Owns its templates. Start-up and shutdown clear it directly.
  utl::CStringHashMap<CAnimationTemplate> templates;

private:
  // The meshes and animations of one animationTemplate element.
  void LoadParts(CAnimationTemplate& animationTemplate, const rapidxml::xml_node<>* node);

  // The loading thread registers templates and makes instances while the main
  // thread animates the loading screen's: map changes and look-ups take this lock.
  // Records do not move when others are added.
  mutable std::recursive_mutex m_lock;
  std::map<uint32_t, SAnimationInstance> m_instances;
};

}  // namespace anm
}  // namespace vd
