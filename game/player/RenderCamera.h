#pragma once
// The follow camera as the render side's camera: the render manager draws and culls
// with its camera, and the fatality camera's depth of field is the render manager's.
namespace vd {

namespace gfx {
class CRenderManager;
}
class CCameraGOWController;

// Both camera references of the render manager = the controller's camera (taken at
// the next commit), and the controller's depth of field = the render manager's
// values and switches. A null controller, or one without a camera, clears both.
void BindRenderCamera(gfx::CRenderManager& renderManager, CCameraGOWController* controller);
// Clears the references and gives the controller back its own depth of field when it
// was this render manager's.
void UnbindRenderCamera(gfx::CRenderManager& renderManager);

}  // namespace vd
