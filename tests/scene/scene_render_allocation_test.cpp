// Rendering a loaded scene allocates nothing: every matrix is computed on the stack, and the
// device buffers and state blocks are made at the first frame only.
#include "scene/scene.h"

#include "platform/gpu/shared_device.h"
#include "scene/scene_manager.h"
#include "scene_test_files.h"
#include "testbed/allocation_count.h"
#include "testbed/headless_device.h"
#include "testbed/scratch_dir.h"

#include <gtest/gtest.h>

namespace tincrates {
namespace {

TEST(SceneRenderAllocation, LaterFramesAllocateNothing)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "allocations are counted without AddressSanitizer only";
#endif
    testing::HeadlessDevice device(32, 32);
    publishSharedDevice(device.get());
    {
        testing::ScratchDir folder;
        folder.write("data/plain.mat", testing::materialFile("<diffuse g=\"0.5\"/>"));
        folder.write("data/square.mesh", testing::squareMeshFile("plain.mat"));
        folder.write("data/test.scene", R"(<scene>
            <object mesh="square.mesh"><object mesh="square.mesh"><position z="1"/>
                <light><position z="-3"/></light></object></object>
            <light><position x="2" z="-3"/></light>
        </scene>)");
        SceneManager manager;
        Scene& scene = *manager.get("test.scene");
        Camera camera;
        camera.transform.position = {0, 0, -3};
        SceneNode target;
        camera.target = &target;
        scene.cameras.push_back(&camera);
        scene.fogEnabled = true;

        device->BeginScene();
        scene.render(0, true);
        device->EndScene();

        const uint64_t before = tincrates::testing::allocationCount();
        for (int frame = 0; frame < 3; ++frame) {
            target.transform.position.x = float(frame);
            device->BeginScene();
            scene.render(0, true);
            device->EndScene();
        }
        EXPECT_EQ(tincrates::testing::allocationCount(), before);
    }
    publishSharedDevice(nullptr);
}

} // namespace
} // namespace tincrates
