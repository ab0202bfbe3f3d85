// The device's GL side: the GL objects of the device, state application before a
// draw, queue draining, and the GL half of each call the front end has validated and
// recorded. Nothing here runs for the recording back end.
#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/gpu/DeviceImpl.h"
#include "platform/window/Window.h"

namespace plat {
namespace gpu {

namespace {

GLenum GlPrimitive(uint32_t type) {
  switch (type) {
    case kPointList:
      return GL_POINTS;
    case kLineList:
      return GL_LINES;
    case kLineStrip:
      return GL_LINE_STRIP;
    case kTriangleStrip:
      return GL_TRIANGLE_STRIP;
    case kTriangleFan:
      return GL_TRIANGLE_FAN;
    default:
      return GL_TRIANGLES;
  }
}

GLenum GlCompare(uint32_t f) {
  switch (f) {
    case kCmpNever:
      return GL_NEVER;
    case kCmpLess:
      return GL_LESS;
    case kCmpEqual:
      return GL_EQUAL;
    case kCmpLessEqual:
      return GL_LEQUAL;
    case kCmpGreater:
      return GL_GREATER;
    case kCmpNotEqual:
      return GL_NOTEQUAL;
    case kCmpGreaterEqual:
      return GL_GEQUAL;
    default:
      return GL_ALWAYS;
  }
}

GLenum GlBlend(uint32_t b) {
  switch (b) {
    case kBlendZero:
      return GL_ZERO;
    case kBlendOne:
      return GL_ONE;
    case kBlendSrcColor:
      return GL_SRC_COLOR;
    case kBlendInvSrcColor:
      return GL_ONE_MINUS_SRC_COLOR;
    case kBlendSrcAlpha:
      return GL_SRC_ALPHA;
    case kBlendInvSrcAlpha:
      return GL_ONE_MINUS_SRC_ALPHA;
    case kBlendDestAlpha:
      return GL_DST_ALPHA;
    case kBlendInvDestAlpha:
      return GL_ONE_MINUS_DST_ALPHA;
    case kBlendDestColor:
      return GL_DST_COLOR;
    case kBlendInvDestColor:
      return GL_ONE_MINUS_DST_COLOR;
    default:
      return GL_ONE;
  }
}

GLenum GlBlendOp(uint32_t op) {
  switch (op) {
    case kBlendOpSubtract:
      return GL_FUNC_SUBTRACT;
    case kBlendOpRevSubtract:
      return GL_FUNC_REVERSE_SUBTRACT;
    case kBlendOpMin:
      return GL_MIN;
    case kBlendOpMax:
      return GL_MAX;
    default:
      return GL_FUNC_ADD;
  }
}

GLenum GlStencilOp(uint32_t op) {
  switch (op) {
    case kStencilOpZero:
      return GL_ZERO;
    case kStencilOpReplace:
      return GL_REPLACE;
    case kStencilOpIncrSat:
      return GL_INCR;
    case kStencilOpDecrSat:
      return GL_DECR;
    case kStencilOpInvert:
      return GL_INVERT;
    case kStencilOpIncr:
      return GL_INCR_WRAP;
    case kStencilOpDecr:
      return GL_DECR_WRAP;
    default:
      return GL_KEEP;
  }
}

GLenum GlAddress(uint32_t a) {
  switch (a) {
    case kAddressMirror:
      return GL_MIRRORED_REPEAT;
    case kAddressClamp:
      return GL_CLAMP_TO_EDGE;
    case kAddressBorder:
      return GL_CLAMP_TO_BORDER;
    default:
      return GL_REPEAT;
  }
}

float AsFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

}  // namespace

// ---------------------------------------------------------------------------------
// Device objects.
bool DeviceImpl::GlInit(std::string* error) {
  if (SDL_GL_MakeCurrent(m_window->Handle(), static_cast<SDL_GLContext>(m_context)) != 0) {
    *error = std::string("the GL context cannot be made current: ") + SDL_GetError();
    return false;
  }
  glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
  glGenVertexArrays(1, &m_glo.vao);
  glBindVertexArray(m_glo.vao);
  glGenFramebuffers(1, &m_glo.fbo);
  glGenFramebuffers(1, &m_glo.readFbo);
  glGenFramebuffers(1, &m_glo.drawFbo);
  glGenFramebuffers(1, &m_glo.resolveFbo);
  glGenBuffers(1, &m_glo.upBuffer);
  glGenSamplers(kMaxSamplers, m_glo.samplers);
  for (GLuint i = 0; i < kMaxSamplers; ++i) glBindSampler(i, m_glo.samplers[i]);
  m_glo.haveAnisotropy =
      epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic");
  glFrontFace(GL_CW);
  SDL_GL_SetSwapInterval(m_pp.presentationInterval == kPresentIntervalOne ? 1 : 0);
  return true;
}

bool DeviceImpl::GlCheckErrors(const char* what, std::string* error) {
  DrainQueues();
  GLenum err = glGetError();
  if (err != GL_NO_ERROR) {
    *error = "GL error " + Hex(err) + " " + what;
    return false;
  }
  return true;
}

void DeviceImpl::GlShutdown() {
  DrainQueues();
  glDeleteVertexArrays(1, &m_glo.vao);
  GLuint fbos[4] = {m_glo.fbo, m_glo.readFbo, m_glo.drawFbo, m_glo.resolveFbo};
  glDeleteFramebuffers(4, fbos);
  if (m_glo.resolveRb) glDeleteRenderbuffers(1, &m_glo.resolveRb);
  if (m_glo.scratchFbo) glDeleteFramebuffers(1, &m_glo.scratchFbo);
  if (m_glo.scratchRb) glDeleteRenderbuffers(1, &m_glo.scratchRb);
  glDeleteBuffers(1, &m_glo.upBuffer);
  glDeleteSamplers(kMaxSamplers, m_glo.samplers);
}

void DeviceImpl::GlBuildSwapChain() {
  if (m_glo.resolveRb) glDeleteRenderbuffers(1, &m_glo.resolveRb);
  glGenRenderbuffers(1, &m_glo.resolveRb);
  glBindRenderbuffer(GL_RENDERBUFFER, m_glo.resolveRb);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, m_pp.backBufferWidth, m_pp.backBufferHeight);
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, m_glo.resolveFbo);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_glo.resolveRb);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  SDL_GL_SetSwapInterval(m_pp.presentationInterval == kPresentIntervalOne ? 1 : 0);
  if (m_window && m_window->FullScreen() == m_pp.windowed) m_window->SetFullScreen(!m_pp.windowed);
}

// ---------------------------------------------------------------------------------
// Programs and uniforms.
void DeviceImpl::GlUseProgram(ProgramImpl* p) { glUseProgram(p ? p->name : 0); }

void DeviceImpl::GlUniform(int location, uint32_t components, uint32_t count, const float* values) {
  GLsizei n = static_cast<GLsizei>(count);
  switch (components) {
    case 1:
      glUniform1fv(location, n, values);
      break;
    case 2:
      glUniform2fv(location, n, values);
      break;
    case 3:
      glUniform3fv(location, n, values);
      break;
    default:
      glUniform4fv(location, n, values);
      break;
  }
}

void DeviceImpl::GlUniformInts(int location, uint32_t count, const int32_t* values) {
  glUniform1iv(location, static_cast<GLsizei>(count), values);
}

void DeviceImpl::GlUniformMatrices(int location, uint32_t count, const float* values) {
  glUniformMatrix4fv(location, static_cast<GLsizei>(count), GL_FALSE, values);
}

void DeviceImpl::GlBindUniformBuffer(uint32_t slot, UniformBuffer* buffer) {
  auto* b = static_cast<UniformBufferImpl*>(buffer);
  glBindBufferBase(GL_UNIFORM_BUFFER, slot, b ? b->buffer : 0);
}

// ---------------------------------------------------------------------------------
// Geometry and draws.
void DeviceImpl::GlBindIndices(IndexBufferImpl* ib) {
  if (ib && ib->store.name == 0) DrainQueues();
  glBindVertexArray(m_glo.vao);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib ? ib->store.name : 0);
}

void DeviceImpl::ApplyLayout(uint32_t instances) {
  if (!m_layoutDirty && instances == m_glo.appliedInstances) return;
  uint32_t mask = 0;
  for (const auto& a : m_layout) {
    const Stream& s = m_streams[a.stream];
    auto* vb = static_cast<VertexBufferImpl*>(s.vb);
    glBindBuffer(GL_ARRAY_BUFFER, vb->store.name);
    const void* offset = reinterpret_cast<const void*>(static_cast<uintptr_t>(s.offset + a.offset));
    glVertexAttribPointer(a.location, a.size, a.type, a.normalised, static_cast<GLsizei>(s.stride),
                          offset);
    glVertexAttribDivisor(a.location, (s.freq & kStreamInstanceData) ? 1 : 0);
    mask |= 1u << a.location;
  }
  for (GLuint i = 0; i < static_cast<GLuint>(kAttrCount); ++i) {
    uint32_t bit = 1u << i;
    if ((mask & bit) && !(m_glo.enabledAttribs & bit)) glEnableVertexAttribArray(i);
    if (!(mask & bit) && (m_glo.enabledAttribs & bit)) glDisableVertexAttribArray(i);
  }
  m_glo.enabledAttribs = mask;
  m_layoutDirty = false;
  m_glo.appliedInstances = instances;
}

void DeviceImpl::GlDraw(uint32_t type, uint32_t startVertex, uint32_t count, uint32_t instances) {
  ApplyForDraw();
  ApplyLayout(instances);
  if (instances > 1 || (m_streams[0].freq & kStreamIndexedData))
    glDrawArraysInstanced(GlPrimitive(type), static_cast<GLint>(startVertex),
                          static_cast<GLsizei>(count), static_cast<GLsizei>(instances));
  else
    glDrawArrays(GlPrimitive(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(count));
}

void DeviceImpl::GlDrawIndexed(uint32_t type, int32_t baseVertex, uint32_t startIndex,
                               uint32_t count, uint32_t isize, uint32_t instances) {
  ApplyForDraw();
  ApplyLayout(instances);
  GLenum itype = isize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
  const void* offset = reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * isize);
  if (instances > 1 || (m_streams[0].freq & kStreamIndexedData))
    glDrawElementsInstancedBaseVertex(GlPrimitive(type), static_cast<GLsizei>(count), itype, offset,
                                      static_cast<GLsizei>(instances), baseVertex);
  else if (baseVertex != 0)
    glDrawElementsBaseVertex(GlPrimitive(type), static_cast<GLsizei>(count), itype, offset,
                             baseVertex);
  else
    glDrawElements(GlPrimitive(type), static_cast<GLsizei>(count), itype, offset);
}

void DeviceImpl::GlDrawFromMemory(uint32_t type, uint32_t count, const void* vertices,
                                  uint32_t stride) {
  ApplyForDraw();
  glBindBuffer(GL_ARRAY_BUFFER, m_glo.upBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count) * stride, vertices, GL_STREAM_DRAW);
  uint32_t mask = 0;
  for (const auto& a : m_layout) {
    glVertexAttribPointer(a.location, a.size, a.type, a.normalised, static_cast<GLsizei>(stride),
                          reinterpret_cast<const void*>(static_cast<uintptr_t>(a.offset)));
    glVertexAttribDivisor(a.location, 0);
    mask |= 1u << a.location;
  }
  for (GLuint i = 0; i < static_cast<GLuint>(kAttrCount); ++i) {
    uint32_t bit = 1u << i;
    if ((mask & bit) && !(m_glo.enabledAttribs & bit)) glEnableVertexAttribArray(i);
    if (!(mask & bit) && (m_glo.enabledAttribs & bit)) glDisableVertexAttribArray(i);
  }
  m_glo.enabledAttribs = mask;
  glDrawArrays(GlPrimitive(type), 0, static_cast<GLsizei>(count));
}

// ---------------------------------------------------------------------------------
// State application and queue draining.
void DeviceImpl::ApplyForDraw() {
  if (m_core->anyDirty.load()) DrainQueues();
  if (m_targetsDirty) ApplyTargets();
  if (m_viewportDirty) {
    glViewport(static_cast<GLint>(m_viewport.x), static_cast<GLint>(m_viewport.y),
               static_cast<GLsizei>(m_viewport.width), static_cast<GLsizei>(m_viewport.height));
    glDepthRangef(m_viewport.minZ, m_viewport.maxZ);
    m_viewportDirty = false;
  }
  if (m_statesDirty) ApplyRenderStates();
  if (m_samplerDirty || m_textureDirty) ApplySamplers();
}

void DeviceImpl::BindSurfaceTo(GLenum fboTarget, GLenum attachment, SurfaceImpl* s) {
  if (!s) {
    glFramebufferRenderbuffer(fboTarget, attachment, GL_RENDERBUFFER, 0);
    return;
  }
  if (s->kind == SurfaceImpl::Kind::TextureLevel) {
    TextureStore* store = StoreOf(s->owner);
    if (store->name == 0) DrainQueues();
    GLenum target = store->target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + s->face
                                                         : GL_TEXTURE_2D;
    glFramebufferTexture2D(fboTarget, attachment, target, store->name,
                           static_cast<GLint>(s->level));
  } else {
    if (s->renderbuffer == 0) s->Upload();
    glFramebufferRenderbuffer(fboTarget, attachment, GL_RENDERBUFFER, s->renderbuffer);
  }
}

void DeviceImpl::ApplyTargets() {
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_glo.fbo);
  GLenum buffers[4];
  GLsizei n = 0;
  uint32_t samples = 0, w = 0, h = 0;
  for (int i = 0; i < 4; ++i) {
    auto* s = static_cast<SurfaceImpl*>(m_targets[i]);
    BindSurfaceTo(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, s);
    buffers[i] = s ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
    if (s) {
      n = i + 1;
      if (i == 0) {
        samples = s->MultiSampleType();
        w = s->Width();
        h = s->Height();
      }
      if (s->kind == SurfaceImpl::Kind::TextureLevel)
        if (TextureStore* store = StoreOf(s->owner)) store->mipsStale = store->autoMips;
    }
  }
  glDrawBuffers(n, buffers);
  auto* d = static_cast<SurfaceImpl*>(m_depth);
  GLuint depthRb = 0;
  if (d) {
    if (d->renderbuffer == 0) d->Upload();
    // GL needs one sample count for all attachments, where Direct3D lets a
    // single-sampled target share a multisampled depth buffer: such a target gets a
    // twin of the depth buffer with its own sample count, filled from the depth
    // buffer each time it is bound (depth written through the twin stays there).
    if (d->MultiSampleType() == samples) {
      depthRb = d->renderbuffer;
    } else {
      depthRb = d->DepthTwin(samples, std::max(w, d->Width()), std::max(h, d->Height()));
      if (d->MultiSampleType() > 1 && samples <= 1) {
        GLbitfield bits =
            GL_DEPTH_BUFFER_BIT | (d->Format() == kFmtD24S8 ? GL_STENCIL_BUFFER_BIT : 0);
        GLenum point = d->Format() == kFmtD24S8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_glo.readFbo);
        glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
        glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, point, GL_RENDERBUFFER, d->renderbuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_glo.drawFbo);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, point, GL_RENDERBUFFER, depthRb);
        glDisable(GL_SCISSOR_TEST);
        m_statesDirty = true;
        GLint dw = static_cast<GLint>(d->Width()), dh = static_cast<GLint>(d->Height());
        glBlitFramebuffer(0, 0, dw, dh, 0, 0, dw, dh, bits, GL_NEAREST);
        glFramebufferRenderbuffer(GL_READ_FRAMEBUFFER, point, GL_RENDERBUFFER, 0);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, point, GL_RENDERBUFFER, 0);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_glo.fbo);
      }
    }
  }
  bool stencil = d && d->Format() == kFmtD24S8;
  glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
  glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER,
                            stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                            GL_RENDERBUFFER, depthRb);
  GLenum status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
  if (status != GL_FRAMEBUFFER_COMPLETE)
    LogMessage("render target " + (m_targets[0] ? m_targets[0]->DebugName() : std::string("none")) +
               " is incomplete: " + Hex(status));
  m_targetsDirty = false;
}

void DeviceImpl::ApplyRenderStates() {
  const uint32_t* rs = m_rs;
  if (rs[kRsZEnable])
    glEnable(GL_DEPTH_TEST);
  else
    glDisable(GL_DEPTH_TEST);
  glDepthMask(rs[kRsZWriteEnable] ? GL_TRUE : GL_FALSE);
  glDepthFunc(GlCompare(rs[kRsZFunc]));
  if (rs[kRsCullMode] == kCullNone) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
    // Front faces are clockwise on screen; kCullCCW removes the others.
    glCullFace(rs[kRsCullMode] == kCullCW ? GL_FRONT : GL_BACK);
  }
  glPolygonMode(GL_FRONT_AND_BACK, rs[kRsFillMode] == kFillWireframe ? GL_LINE
                                   : rs[kRsFillMode] == kFillPoint   ? GL_POINT
                                                                     : GL_FILL);
  if (rs[kRsAlphaBlendEnable])
    glEnable(GL_BLEND);
  else
    glDisable(GL_BLEND);
  if (rs[kRsSeparateAlphaBlendEnable]) {
    glBlendFuncSeparate(GlBlend(rs[kRsSrcBlend]), GlBlend(rs[kRsDestBlend]),
                        GlBlend(rs[kRsSrcBlendAlpha]), GlBlend(rs[kRsDestBlendAlpha]));
    glBlendEquationSeparate(GlBlendOp(rs[kRsBlendOp]), GlBlendOp(rs[kRsBlendOpAlpha]));
  } else {
    glBlendFunc(GlBlend(rs[kRsSrcBlend]), GlBlend(rs[kRsDestBlend]));
    glBlendEquation(GlBlendOp(rs[kRsBlendOp]));
  }
  uint32_t mask = rs[kRsColorWriteEnable];
  glColorMask(mask & 1 ? GL_TRUE : GL_FALSE, mask & 2 ? GL_TRUE : GL_FALSE,
              mask & 4 ? GL_TRUE : GL_FALSE, mask & 8 ? GL_TRUE : GL_FALSE);
  if (rs[kRsStencilEnable])
    glEnable(GL_STENCIL_TEST);
  else
    glDisable(GL_STENCIL_TEST);
  glStencilFunc(GlCompare(rs[kRsStencilFunc]), static_cast<GLint>(rs[kRsStencilRef]),
                rs[kRsStencilMask]);
  glStencilOp(GlStencilOp(rs[kRsStencilFail]), GlStencilOp(rs[kRsStencilZFail]),
              GlStencilOp(rs[kRsStencilPass]));
  glStencilMask(rs[kRsStencilWriteMask]);
  if (rs[kRsScissorTestEnable]) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(m_scissor.left, m_scissor.top, std::max(0, m_scissor.right - m_scissor.left),
              std::max(0, m_scissor.bottom - m_scissor.top));
  } else {
    glDisable(GL_SCISSOR_TEST);
  }
  float bias = AsFloat(rs[kRsDepthBias]), slope = AsFloat(rs[kRsSlopeScaleDepthBias]);
  if (bias != 0.0f || slope != 0.0f) {
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(slope, bias * 16777216.0f);
  } else {
    glDisable(GL_POLYGON_OFFSET_FILL);
  }
  m_statesDirty = false;
}

void DeviceImpl::ApplySamplers() {
  for (uint32_t i = 0; i < kMaxSamplers; ++i) {
    uint32_t bit = 1u << i;
    if (m_samplerDirty & bit) {
      const uint32_t* ss = m_ss[i];
      GLuint s = m_glo.samplers[i];
      glSamplerParameteri(s, GL_TEXTURE_WRAP_S, static_cast<GLint>(GlAddress(ss[kSampAddressU])));
      glSamplerParameteri(s, GL_TEXTURE_WRAP_T, static_cast<GLint>(GlAddress(ss[kSampAddressV])));
      glSamplerParameteri(s, GL_TEXTURE_WRAP_R, static_cast<GLint>(GlAddress(ss[kSampAddressW])));
      uint32_t c = ss[kSampBorderColor];
      float border[4] = {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f,
                         (c & 0xFF) / 255.0f, ((c >> 24) & 0xFF) / 255.0f};
      glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border);
      bool magLinear = ss[kSampMagFilter] >= kTexFilterLinear;
      bool minLinear = ss[kSampMinFilter] >= kTexFilterLinear;
      glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
      GLint minFilter;
      switch (ss[kSampMipFilter]) {
        case kTexFilterNone:
          minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
          break;
        case kTexFilterPoint:
          minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
          break;
        default:
          minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
          break;
      }
      glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, minFilter);
      if (m_glo.haveAnisotropy) {
        float aniso = ss[kSampMinFilter] == kTexFilterAnisotropic
                          ? static_cast<float>(std::max(1u, ss[kSampMaxAnisotropy]))
                          : 1.0f;
        glSamplerParameterf(s, GL_TEXTURE_MAX_ANISOTROPY_EXT, aniso);
      }
    }
    BaseTexture* t = m_textures[i];
    TextureStore* store = StoreOf(t);
    bool regen = store && store->mipsStale;
    if ((m_textureDirty & bit) || regen) {
      glActiveTexture(GL_TEXTURE0 + i);
      if (m_glo.boundTargets[i] && (!store || m_glo.boundTargets[i] != store->target))
        glBindTexture(m_glo.boundTargets[i], 0);
      if (store) {
        glBindTexture(store->target, store->name);
        m_glo.boundTargets[i] = store->target;
        if (regen) {
          glGenerateMipmap(store->target);
          store->mipsStale = false;
        }
      } else {
        m_glo.boundTargets[i] = 0;
      }
    }
  }
  glActiveTexture(GL_TEXTURE0);
  m_samplerDirty = 0;
  m_textureDirty = 0;
}

void DeviceImpl::DrainQueues() {
  if (ThisThread() != m_thread) {
    m_core->Misuse("DrainQueues called off the render thread");
    return;
  }
  std::vector<GlGarbage> garbage;
  std::vector<ProgramImpl*> programs;
  {
    // The uploads run under the core's lock: a resource released meanwhile on
    // another thread waits in its destructor (which takes itself out of the set
    // under this lock) until its upload is over, and then hands its GL name to the
    // garbage.
    std::lock_guard<std::mutex> lock(m_core->mutex);
    for (ResourceImpl* r : m_core->dirty) r->Upload();
    m_core->dirty.clear();
    garbage.swap(m_core->garbage);
    programs.swap(m_core->pendingPrograms);
    m_core->anyDirty = false;
  }
  for (ProgramImpl* p : programs) {
    if (!p->Build()) LogMessage("program " + p->debugName + " failed to build: " + p->InfoLog());
    p->Release();
  }
  if (m_gl) {
    for (const auto& g : garbage) {
      switch (g.kind) {
        case GlGarbage::Buffer:
          glDeleteBuffers(1, &g.name);
          break;
        case GlGarbage::Texture:
          glDeleteTextures(1, &g.name);
          break;
        case GlGarbage::Renderbuffer:
          glDeleteRenderbuffers(1, &g.name);
          break;
        case GlGarbage::Program:
          glDeleteProgram(g.name);
          break;
      }
    }
    if (!garbage.empty()) {
      // A deleted name may be reused for a new object: bind everything again.
      m_targetsDirty = m_layoutDirty = true;
      m_textureDirty = 0xFFFF;
    }
  }
}

// ---------------------------------------------------------------------------------
// Frame.
void DeviceImpl::GlClear(uint32_t rectCount, const Rect* rects, uint32_t flags, uint32_t colour,
                         float z, uint32_t stencil) {
  ApplyForDraw();
  GLbitfield mask = 0;
  if (flags & kClearTarget) {
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f,
                 (colour & 0xFF) / 255.0f, ((colour >> 24) & 0xFF) / 255.0f);
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & kClearZBuffer) {
    glDepthMask(GL_TRUE);
    glClearDepthf(z);
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & kClearStencil) {
    glStencilMask(0xFFFFFFFFu);
    glClearStencil(static_cast<GLint>(stencil));
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  glEnable(GL_SCISSOR_TEST);
  int32_t vx0 = static_cast<int32_t>(m_viewport.x), vy0 = static_cast<int32_t>(m_viewport.y);
  int32_t vx1 = vx0 + static_cast<int32_t>(m_viewport.width),
          vy1 = vy0 + static_cast<int32_t>(m_viewport.height);
  auto clearRect = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    x0 = std::max(x0, vx0);
    y0 = std::max(y0, vy0);
    x1 = std::min(x1, vx1);
    y1 = std::min(y1, vy1);
    if (x1 <= x0 || y1 <= y0) return;
    glScissor(x0, y0, x1 - x0, y1 - y0);
    glClear(mask);
  };
  if (rectCount == 0) {
    clearRect(vx0, vy0, vx1, vy1);
  } else {
    for (uint32_t i = 0; i < rectCount; ++i)
      clearRect(rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
  }
  m_statesDirty = true;  // colour mask, depth mask and scissor go back at the next draw
}

GLuint DeviceImpl::ReadFboFor(SurfaceImpl* s, GLenum fboTarget, GLuint fbo) {
  glBindFramebuffer(fboTarget, fbo);
  BindSurfaceTo(fboTarget, GL_COLOR_ATTACHMENT0, s);
  glFramebufferRenderbuffer(fboTarget, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
  return fbo;
}

GLuint DeviceImpl::ScratchResolve(SurfaceImpl* source) {
  GlFormat gf;
  if (!LookUpFormat(source->Format(), &gf)) gf.internal = GL_RGBA8;
  const uint32_t w = std::max(m_glo.scratchW, source->Width());
  const uint32_t h = std::max(m_glo.scratchH, source->Height());
  if (!m_glo.scratchFbo) glGenFramebuffers(1, &m_glo.scratchFbo);
  if (!m_glo.scratchRb || w != m_glo.scratchW || h != m_glo.scratchH ||
      gf.internal != m_glo.scratchFormat) {
    if (m_glo.scratchRb) glDeleteRenderbuffers(1, &m_glo.scratchRb);
    glGenRenderbuffers(1, &m_glo.scratchRb);
    glBindRenderbuffer(GL_RENDERBUFFER, m_glo.scratchRb);
    glRenderbufferStorage(GL_RENDERBUFFER, gf.internal, static_cast<GLsizei>(w),
                          static_cast<GLsizei>(h));
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_glo.scratchFbo);
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              m_glo.scratchRb);
    m_glo.scratchW = w;
    m_glo.scratchH = h;
    m_glo.scratchFormat = gf.internal;
  }
  return m_glo.scratchFbo;
}

void DeviceImpl::GlStretchRect(SurfaceImpl* src, const Rect& sr, SurfaceImpl* dst, const Rect& dr,
                               uint32_t filter) {
  if (m_core->anyDirty.load()) DrainQueues();
  GLenum glFilter = filter >= kTexFilterLinear ? GL_LINEAR : GL_NEAREST;
  glDisable(GL_SCISSOR_TEST);
  bool sameSize =
      sr.right - sr.left == dr.right - dr.left && sr.bottom - sr.top == dr.bottom - dr.top;
  if (src->MultiSampleType() > 1 && (!sameSize || dst->MultiSampleType() > 1)) {
    // A multisampled source is resolved at its own size first, into a buffer of its own
    // (the back buffer's resolve copy holds the presented frame).
    ReadFboFor(src, GL_READ_FRAMEBUFFER, m_glo.readFbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, ScratchResolve(src));
    glBlitFramebuffer(sr.left, sr.top, sr.right, sr.bottom, sr.left, sr.top, sr.right, sr.bottom,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_glo.scratchFbo);
  } else {
    ReadFboFor(src, GL_READ_FRAMEBUFFER, m_glo.readFbo);
  }
  ReadFboFor(dst, GL_DRAW_FRAMEBUFFER, m_glo.drawFbo);
  glBlitFramebuffer(sr.left, sr.top, sr.right, sr.bottom, dr.left, dr.top, dr.right, dr.bottom,
                    GL_COLOR_BUFFER_BIT, glFilter);
  if (dst->kind == SurfaceImpl::Kind::TextureLevel)
    if (TextureStore* store = StoreOf(dst->owner)) store->mipsStale = store->autoMips;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_glo.fbo);
  m_statesDirty = true;
}

void DeviceImpl::GlPresent() {
  if (m_core->anyDirty.load()) DrainQueues();
  uint32_t w = m_pp.backBufferWidth, h = m_pp.backBufferHeight;
  if (m_backBuffer->renderbuffer == 0) m_backBuffer->Upload();
  glDisable(GL_SCISSOR_TEST);
  // Resolve into the single-sampled copy (also what ReadPixels reads), then show it
  // upside down: the window's rows run from the bottom.
  ReadFboFor(m_backBuffer, GL_READ_FRAMEBUFFER, m_glo.readFbo);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_glo.resolveFbo);
  glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(m_window->Handle(), &dw, &dh);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, m_glo.resolveFbo);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glClearColor(0, 0, 0, 1);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClear(GL_COLOR_BUFFER_BIT);
  glBlitFramebuffer(
      0, 0, w, h, 0, dh, dw, 0, GL_COLOR_BUFFER_BIT,
      static_cast<uint32_t>(dw) == w && static_cast<uint32_t>(dh) == h ? GL_NEAREST : GL_LINEAR);
  SDL_GL_SwapWindow(m_window->Handle());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_glo.fbo);
  m_statesDirty = true;
  m_glo.everPresented = true;
  DrainQueues();
}

HResult DeviceImpl::GlReadPixels(SurfaceImpl* surface, const Rect& r, std::vector<uint8_t>* bgra) {
  SurfaceImpl* s = surface ? surface : m_backBuffer;
  uint32_t w = static_cast<uint32_t>(r.right - r.left), h = static_cast<uint32_t>(r.bottom - r.top);
  if (m_core->anyDirty.load()) DrainQueues();
  if (!surface) {
    if (!m_glo.everPresented) return kErrNotAvailable;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_glo.resolveFbo);
  } else if (s->MultiSampleType() > 1) {
    glDisable(GL_SCISSOR_TEST);
    m_statesDirty = true;
    ReadFboFor(s, GL_READ_FRAMEBUFFER, m_glo.readFbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, ScratchResolve(s));
    glBlitFramebuffer(r.left, r.top, r.right, r.bottom, r.left, r.top, r.right, r.bottom,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_glo.fbo);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_glo.scratchFbo);
  } else {
    ReadFboFor(s, GL_READ_FRAMEBUFFER, m_glo.readFbo);
  }
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (s->Format() == kFmtA8 || s->Format() == kFmtL8) {
    // One channel: alpha for A8, grey (and opaque) for L8.
    std::vector<uint8_t> a(static_cast<size_t>(w) * h);
    glReadPixels(r.left, r.top, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_RED,
                 GL_UNSIGNED_BYTE, a.data());
    const bool alpha = s->Format() == kFmtA8;
    for (size_t i = 0; i < a.size(); ++i) {
      uint8_t* p = &(*bgra)[i * 4];
      if (alpha) {
        p[3] = a[i];
      } else {
        p[0] = p[1] = p[2] = a[i];
        p[3] = 0xFF;
      }
    }
  } else {
    glReadPixels(r.left, r.top, static_cast<GLsizei>(w), static_cast<GLsizei>(h), GL_BGRA,
                 GL_UNSIGNED_BYTE, bgra->data());
  }
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  return glGetError() == GL_NO_ERROR ? kOk : kErrFail;
}

}  // namespace gpu
}  // namespace plat
