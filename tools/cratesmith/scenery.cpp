// The production's scene. The camera circles the y axis at a radius of 80 units and a height
// between -30 and 30, so the scene is laid out around that orbit: a
// ring of scaffold frames it flies through, lamps above its path, crates stacked below it and
// in a yard that reaches into the fog, and the tumbling crates the timeline moves.
#include "tools/cratesmith/scenery.h"

#include "tools/cratesmith/crate_meshes.h"
#include "tools/cratesmith/data_folder.h"
#include "tools/cratesmith/geometry.h"

#include <cstdint>
#include <numbers>
#include <string>

namespace tincrates::cratesmith {

namespace {

constexpr float pi = std::numbers::pi_v<float>;

// The orbit and the ring of frames around it.
constexpr int frameCount = 24;
constexpr float innerRadius = 42;
constexpr float outerRadius = 118;
constexpr float orbitRadius = 80;
constexpr float floorHeight = -55;
constexpr float roofHeight = 50;

// A small deterministic generator: the same layout on every machine and library.
class Dice {
public:
    explicit Dice(uint64_t seed)
        : state(seed)
    {
    }
    // splitmix64
    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    float uniform(float low, float high)
    {
        return low + (high - low) * float(next() >> 40) / float(1 << 24);
    }
    int below(int n) { return int(next() % uint64_t(n)); }

private:
    uint64_t state;
};

Vector3 onRing(float radius, float angle, float height)
{
    return {radius * std::sin(angle), height, radius * std::cos(angle)};
}

Matrix4 turnedAboutY(float angle, Vector3 position)
{
    return multiply(rotationEuler({0, angle, 0}), translation(position));
}

// A square beam from `from` to `to`, its sides `halfWidth` from its axis; the texture repeats
// every `repeat` units. Ends that meet another beam, the floor or the roof are left open.
void addBeam(MeshBuilder& builder, Vector3 from, Vector3 to, float halfWidth, float repeat,
             bool withEnds = false)
{
    Vector3 along = to - from;
    Vector3 axis = normalise(along);
    Vector3 up = std::abs(axis.y) > 0.9f ? Vector3{1, 0, 0} : Vector3{0, 1, 0};
    Vector3 side = normalise(cross(up, axis));
    Vector3 lift = cross(axis, side);
    size_t mark = builder.vertexCount();
    builder.addBox({halfWidth, halfWidth, length(along) / 2}, 1 / repeat, withEnds);
    Vector3 middle = (from + to) * 0.5f;
    Matrix4 placement = identity();
    placement.m[0][0] = side.x, placement.m[0][1] = side.y, placement.m[0][2] = side.z;
    placement.m[1][0] = lift.x, placement.m[1][1] = lift.y, placement.m[1][2] = lift.z;
    placement.m[2][0] = axis.x, placement.m[2][1] = axis.y, placement.m[2][2] = axis.z;
    placement.m[3][0] = middle.x, placement.m[3][1] = middle.y, placement.m[3][2] = middle.z;
    builder.transformSince(mark, placement);
}

// The ring of frames, in world coordinates.
MeshBuilder scaffold()
{
    MeshBuilder builder;
    for (int k = 0; k < frameCount; ++k) {
        float angle = 2 * pi * float(k) / frameCount;
        float next = 2 * pi * float(k + 1) / frameCount;
        builder.useMaterial("girder.material");
        for (float radius : {innerRadius, outerRadius})
            addBeam(builder, onRing(radius, angle, floorHeight), onRing(radius, angle, roofHeight),
                    1.6f, 12);
        addBeam(builder, onRing(innerRadius - 1.6f, angle, roofHeight + 1.6f),
                onRing(outerRadius + 1.6f, angle, roofHeight + 1.6f), 1.6f, 12, true);
        // Cross bracing on the outer wall, alternating, so the frames read as a structure.
        bool rising = k % 2 == 0;
        addBeam(builder, onRing(outerRadius + 0.5f, angle, rising ? floorHeight : roofHeight),
                onRing(outerRadius + 0.5f, next, rising ? roofHeight : floorHeight), 0.9f, 12);

        builder.useMaterial("rail.material");
        for (float radius : {innerRadius + 2.5f, outerRadius - 2.5f})
            addBeam(builder, onRing(radius, angle, -22), onRing(radius, next, -22), 0.7f, 6);

        builder.useMaterial("lamp.material");
        size_t mark = builder.vertexCount();
        builder.addBox({1.8f, 0.7f, 4.5f});
        builder.transformSince(mark, turnedAboutY(angle, onRing(orbitRadius, angle, roofHeight - 0.8f)));
    }
    return builder;
}

// The floor and the crates stacked on it: low ones under the orbit, tall ones beyond it.
MeshBuilder yard()
{
    MeshBuilder builder;
    builder.useMaterial("floor.material");
    float reach = 560;
    builder.addQuadFacing({-reach, floorHeight, -reach}, {reach, floorHeight, -reach},
                          {reach, floorHeight, reach}, {-reach, floorHeight, reach}, {0, 1, 0},
                          {0, 0, 2 * reach / 24, 2 * reach / 24}, 16);

    Dice dice(0x7C0FFEEull);
    // Far crates are plain boxes: the renderer's cost goes with the number of triangles more
    // than with their size, and a fold a few pixels wide would not show in the fog.
    auto stack = [&](Vector3 base, int height, float edgeLow, float edgeHigh, bool isNear) {
        float y = floorHeight;
        for (int level = 0; level < height; ++level) {
            CrateLook look;
            look.edge = dice.uniform(edgeLow, edgeHigh);
            look.bevel = isNear ? look.edge * 0.06f : 0;
            look.body = dice.below(3) == 0 ? "rustcrate.material" : "stacktin.material";
            Vector3 at = base + Vector3{dice.uniform(-1, 1), y + look.edge / 2, dice.uniform(-1, 1)};
            addCrate(builder, look, turnedAboutY(dice.uniform(-0.4f, 0.4f), at));
            y += look.edge;
        }
    };
    // Under the orbit: low enough for the camera to skim over.
    for (int k = 0; k < 18; ++k) {
        float angle = 2 * pi * (float(k) + dice.uniform(0.1f, 0.9f)) / 18;
        stack(onRing(dice.uniform(52, 108), angle, 0), 1 + dice.below(2), 8, 10, true);
    }
    // Beyond the frames, out into the fog.
    for (int k = 0; k < 44; ++k) {
        float angle = 2 * pi * (float(k) + dice.uniform(0.0f, 1.0f)) / 44;
        float radius = 140 + dice.uniform(0, 1) * dice.uniform(0, 1) * 330;
        stack(onRing(radius, angle, 0), 1 + dice.below(4), 12, 22, false);
    }
    return builder;
}

MeshBuilder crate(const CrateLook& look)
{
    MeshBuilder builder;
    addCrate(builder, look, identity());
    return builder;
}

const char* materials[][2] = {
    {"tin.material", R"(<material>
    <!-- Polished tin: the plate modulated by the light, the hall's lamps added on top. -->
    <ambient r="0.16" g="0.15" b="0.15"/>
    <diffuse r="0.3" g="0.29" b="0.28"/>
    <specular r="1" g="0.95" b="0.9" shinyness="0.6" power="24"/>
    <texture file="tinplate.png"/>
    <envmap file="envmap.png"/>
</material>
)"},
    {"leadcrate.material", R"(<material>
    <!-- The lead crate's tin: its alpha comes from the diffuse colour, which the production
         raises from 0 to 1 on the first beat. -->
    <ambient r="0.27" g="0.27" b="0.27"/>
    <diffuse r="0.45" g="0.45" b="0.45" a="1"/>
    <emissive r="0.06" g="0.05" b="0.04" a="0"/>
    <texture file="leadtin.png"/>
    <envmap file="envmap.png"/>
    <blend srcblend="srcalpha" dstblend="invsrcalpha"/>
</material>
)"},
    {"leadframe.material", R"(<material>
    <!-- Glowing bars along the lead crate's folds: visible before its tin appears. -->
    <ambient r="0" g="0" b="0"/>
    <diffuse r="0.135" g="0.09" b="0.045"/>
    <emissive r="1" g="0.55" b="0.15"/>
</material>
)"},
    {"bracket.material", R"(<material>
    <ambient r="0.203" g="0.18" b="0.18"/>
    <diffuse r="0.338" g="0.315" b="0.306"/>
    <specular r="1" g="1" b="1" shinyness="0.3" power="10"/>
    <texture file="rust.png"/>
</material>
)"},
    {"girder.material", R"(<material>
    <ambient r="0.203" g="0.189" b="0.203"/>
    <diffuse r="0.315" g="0.297" b="0.297"/>
    <texture file="rust.png"/>
</material>
)"},
    {"rail.material", R"(<material>
    <ambient r="0.225" g="0.225" b="0.225"/>
    <diffuse r="0.383" g="0.383" b="0.383"/>
    <texture file="hazard.png"/>
</material>
)"},
    {"lamp.material", R"(<material>
    <!-- Lamps shine whatever lights them: full emissive, seen from both sides. -->
    <emissive r="1" g="1" b="1"/>
    <texture file="lamp.png"/>
    <cull mode="none"/>
</material>
)"},
    {"stacktin.material", R"(<material>
    <ambient r="0.14" g="0.13" b="0.13"/>
    <diffuse r="0.24" g="0.23" b="0.22"/>
    <texture file="tinplate.png"/>
</material>
)"},
    {"rustcrate.material", R"(<material>
    <ambient r="0.203" g="0.189" b="0.189"/>
    <diffuse r="0.338" g="0.315" b="0.306"/>
    <texture file="corrugated.png"/>
</material>
)"},
    {"floor.material", R"(<material>
    <ambient r="0.158" g="0.149" b="0.171"/>
    <diffuse r="0.248" g="0.234" b="0.248"/>
    <texture file="corrugated.png"/>
</material>
)"},
};

const char* sceneText = R"(<scene>
    <!-- The production moves the first five objects: it turns the scaffold a quarter turn
         about x, carries the lead crate on the camera's look point, and tumbles the lead crate
         and the next three about one moving axis. -->
    <ambient r="0.08" g="0.06" b="0.1"/>
    <object mesh="scaffold.mesh"/>
    <object mesh="leadcrate.mesh">
        <!-- A warm lantern that travels with the lead crate. -->
        <light>
            <diffuse r="0.3" g="0.17" b="0.05"/>
            <ambient r="0.03" g="0.02" b="0.01"/>
            <position x="0" y="10" z="0"/>
        </light>
    </object>
    <object mesh="bigcrate.mesh">
        <position x="0" y="0" z="0"/>
    </object>
    <object mesh="crate.mesh">
        <position x="51.96" y="8" z="-30"/>
    </object>
    <object mesh="crate.mesh">
        <position x="-93.97" y="-12" z="-34.2"/>
    </object>
    <object mesh="yard.mesh"/>
    <!-- The lamps' warmth from above the middle, and the cold of the hall far away. -->
    <light>
        <diffuse r="0.38" g="0.25" b="0.12"/>
        <ambient r="0.04" g="0.03" b="0.02"/>
        <position x="0" y="45" z="0"/>
    </light>
    <light>
        <diffuse r="0.1" g="0.14" b="0.28"/>
        <ambient r="0" g="0" b="0"/>
        <position x="-400" y="300" z="250"/>
    </light>
</scene>
)";

} // namespace

void makeScenery(DataFolder& data)
{
    // The production gives the scaffold a quarter turn about x; it is built upright in the
    // world and stored turned back, so that it stands as built once turned.
    MeshBuilder frames = scaffold();
    frames.transformSince(0, rotationQuaternion({-0.70710677f, 0, 0, 0.70710677f}));
    data.writeMesh("scaffold.mesh", frames.finish());

    CrateLook lead;
    lead.edge = 8;
    lead.bevel = 0.55f;
    lead.body = "leadcrate.material";
    lead.brackets = "bracket.material";
    lead.edgeLights = "leadframe.material";
    data.writeMesh("leadcrate.mesh", crate(lead).finish());

    CrateLook big{22, 1.3f, "tin.material", "bracket.material", ""};
    data.writeMesh("bigcrate.mesh", crate(big).finish());
    CrateLook small{11, 0.7f, "tin.material", "bracket.material", ""};
    data.writeMesh("crate.mesh", crate(small).finish());

    data.writeMesh("yard.mesh", yard().finish());

    for (const auto& [name, text] : materials)
        data.writeBytes(name, text);
    data.writeBytes("voltcrate.scene", sceneText);
}

} // namespace tincrates::cratesmith
