// The production's scene. The camera circles the y axis at a radius of 80 units and a height
// between -30 and 30, so the scene is laid out around that orbit: a
// ring of scaffold frames it flies through, lamps above its path, crates stacked below it and
// in a yard that reaches into the fog, and the tumbling crates the timeline moves.
#include "tools/cratesmith/scenery/scenery.h"

#include "production/frame_animation.h"
#include "production/scene_objects.h"
#include "tools/cratesmith/data_folder.h"
#include "tools/cratesmith/meshes/crate_meshes.h"
#include "tools/cratesmith/meshes/geometry.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
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
constexpr float yardReach = 225;

// The crates the production tumbles in place, and their edges: where the camera's gaze passes
// close (found by following the camera's path and look point through the timeline), clear of
// the frames, the rails and the stacks.
struct Tumbler {
    Vector3 position;
    float edge;
};
constexpr Tumbler bigTumbler{{0, 0, 0}, 30};
constexpr Tumbler sideTumblers[] = {{{0, -24, 96}, 15}, {{-18, 16, -96}, 15}};

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

        // A cold strip light on each inner post, facing the orbit.
        builder.useMaterial("strip.material");
        Vector3 post = onRing(innerRadius + 1.75f, angle, 0);
        addBeam(builder, post + Vector3{0, -40, 0}, post + Vector3{0, 40, 0}, 0.45f, 100, true);

        builder.useMaterial("lamp.material");
        size_t mark = builder.vertexCount();
        builder.addBox({2.6f, 0.7f, 9.0f});
        builder.transformSince(mark, turnedAboutY(angle, onRing(orbitRadius, angle, roofHeight - 0.8f)));
    }
    return builder;
}

// Stacked crates are painted, as a yard's are, and some have rusted through: colour in the dark
// around the bare tin ones the production moves.
const char* const stackMaterials[] = {"rustcrate.material", "stackteal.material",
                                      "stackred.material", "stackochre.material"};

// The crates stacked on the floor: low ones under the orbit, tall ones beyond it. The floor
// itself is not drawn: it would be black, and a sheet of fog colour where it reached into the
// fog, where the dark beyond the yard is black.
MeshBuilder yard()
{
    MeshBuilder builder;
    Dice dice(0x7C0FFEEull);
    // Far crates are plain boxes: the renderer's cost goes with the number of triangles more
    // than with their size, and a fold a few pixels wide would not show in the fog.
    auto stack = [&](Vector3 base, int height, float edgeLow, float edgeHigh, bool isNear) {
        float y = floorHeight;
        for (int level = 0; level < height; ++level) {
            CrateLook look;
            look.edge = dice.uniform(edgeLow, edgeHigh);
            look.bevel = isNear ? look.edge * 0.06f : 0;
            look.body = stackMaterials[dice.below(int(std::size(stackMaterials)))];
            Vector3 at = base + Vector3{dice.uniform(-1, 1), y + look.edge / 2, dice.uniform(-1, 1)};
            addCrate(builder, look, turnedAboutY(dice.uniform(-0.4f, 0.4f), at));
            y += look.edge;
        }
    };
    // Under the orbit: low enough for the camera to skim over, and kept from under the
    // tumbling crates beside it.
    auto clearOfTumblers = [](Vector3 base) {
        for (const Tumbler& tumbler : sideTumblers) {
            Vector3 apart = base - tumbler.position;
            if (std::hypot(apart.x, apart.z) < tumbler.edge + 6)
                return false;
        }
        return true;
    };
    for (int k = 0; k < 18; ++k) {
        float angle = 2 * pi * (float(k) + dice.uniform(0.1f, 0.9f)) / 18;
        Vector3 base = onRing(dice.uniform(52, 108), angle, 0);
        int height = 1 + dice.below(2);
        if (clearOfTumblers(base))
            stack(base, height, 8, 10, true);
    }
    // Beyond the frames, out into the fog.
    for (int k = 0; k < 44; ++k) {
        float angle = 2 * pi * (float(k) + dice.uniform(0.0f, 1.0f)) / 44;
        float radius = 140 + dice.uniform(0, 1) * dice.uniform(0, 1) * (yardReach - 140);
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

// How the hall is lit: every light shines without fall-off, and the timeline's own white light
// circles the middle at full strength, so brightness is decided by what the materials reflect.
// The glow then adds the blurred picture back at over twice its brightness: what is dim here is
// mid-bright on screen, and a large face that is bright here burns out. So the hall reflects
// little (rust that shows its colour where a light falls on it, painted stacks in the dark),
// the crates the camera passes reflect more and carry the environment map's lamps, and only
// the lamps, the strip lights and the lead crate's edge bars shine by themselves.
const char* materials[][2] = {
    {"tin.material", R"(<material>
    <!-- Polished tin: the plate modulated by the light, the hall's lamps glinting on top. -->
    <ambient r="0.3" g="0.3" b="0.32"/>
    <diffuse r="0.34" g="0.34" b="0.34"/>
    <specular r="1" g="0.95" b="0.9" shinyness="0.6" power="24"/>
    <texture file="tinplate.png"/>
    <envmap file="envmap.png"/>
</material>
)"},
    {"leadcrate.material", R"(<material>
    <!-- The lead crate's tin, warmer and brighter than the rest: its alpha comes from the
         diffuse colour, which the production raises from 0 to 1 on the first beat. -->
    <ambient r="0.32" g="0.29" b="0.25"/>
    <diffuse r="0.15" g="0.135" b="0.11" a="1"/>
    <emissive r="0.15" g="0.095" b="0.04" a="0"/>
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
    <ambient r="0.15" g="0.14" b="0.14"/>
    <diffuse r="0.3" g="0.27" b="0.25"/>
    <texture file="rust.png"/>
</material>
)"},
    {"girder.material", R"(<material>
    <!-- Rust: dark in the shade, its colour where a light falls on it. -->
    <ambient r="0.08" g="0.075" b="0.075"/>
    <diffuse r="0.4" g="0.34" b="0.3"/>
    <texture file="rust.png"/>
</material>
)"},
    {"rail.material", R"(<material>
    <!-- Hazard paint catches what little light there is. -->
    <ambient r="0.2" g="0.2" b="0.2"/>
    <diffuse r="0.25" g="0.25" b="0.25"/>
    <emissive r="0.1" g="0.1" b="0.1"/>
    <texture file="hazard.png"/>
</material>
)"},
    {"strip.material", R"(<material>
    <!-- Cold strip lights down the posts, against the warm lamps overhead. -->
    <emissive r="0.32" g="0.66" b="0.95"/>
    <ambient r="0" g="0" b="0"/>
    <diffuse r="0" g="0" b="0"/>
</material>
)"},
    {"lamp.material", R"(<material>
    <!-- Lamps shine whatever lights them: full emissive, seen from both sides. -->
    <emissive r="1" g="1" b="1"/>
    <texture file="lamp.png"/>
    <cull mode="none"/>
</material>
)"},
    {"stackteal.material", R"(<material>
    <ambient r="0.05" g="0.09" b="0.11"/>
    <diffuse r="0.1" g="0.21" b="0.25"/>
    <texture file="tinplate.png"/>
</material>
)"},
    {"stackred.material", R"(<material>
    <ambient r="0.1" g="0.045" b="0.035"/>
    <diffuse r="0.31" g="0.12" b="0.09"/>
    <texture file="tinplate.png"/>
</material>
)"},
    {"stackochre.material", R"(<material>
    <ambient r="0.1" g="0.08" b="0.035"/>
    <diffuse r="0.33" g="0.25" b="0.1"/>
    <texture file="tinplate.png"/>
</material>
)"},
    {"rustcrate.material", R"(<material>
    <ambient r="0.08" g="0.075" b="0.075"/>
    <diffuse r="0.29" g="0.25" b="0.22"/>
    <texture file="corrugated.png"/>
</material>
)"},
};

// The scene file around the objects the production moves, which go where the @ stands.
const char* sceneTemplate = R"(<scene>
    <!-- The production moves the first five objects: it turns the scaffold a quarter turn
         about x, carries the lead crate on the camera's look point, and tumbles the lead crate
         and the next three about one moving axis. The three stand where the camera's gaze
         passes close: the big one in the middle of the ring, the others beside the orbit. -->
    <ambient r="0.02" g="0.03" b="0.07"/>
@    <object mesh="yard.mesh"/>
    <!-- The lamps' warmth from above the middle, and the cold of the hall far away. -->
    <light>
        <diffuse r="0.45" g="0.25" b="0.07"/>
        <ambient r="0.02" g="0.015" b="0.01"/>
        <position x="0" y="45" z="0"/>
    </light>
    <light>
        <diffuse r="0.06" g="0.14" b="0.35"/>
        <ambient r="0" g="0" b="0"/>
        <position x="-400" y="300" z="250"/>
    </light>
</scene>
)";

std::string tumblerObject(const char* mesh, Vector3 p)
{
    char position[128];
    std::snprintf(position, sizeof position, "        <position x=\"%g\" y=\"%g\" z=\"%g\"/>\n",
                  double(p.x), double(p.y), double(p.z));
    return std::string("    <object mesh=\"") + mesh + "\">\n" + position + "    </object>\n";
}

// The scene file: the objects the production moves in the places it expects them.
std::string sceneText()
{
    std::array<std::string, sceneObjects::movedCount> moved;
    moved[sceneObjects::scaffold] = "    <object mesh=\"scaffold.mesh\"/>\n";
    moved[sceneObjects::leadCrate] = R"(    <object mesh="leadcrate.mesh">
        <!-- A warm lantern that travels with the lead crate. -->
        <light>
            <diffuse r="0.9" g="0.5" b="0.15"/>
            <ambient r="0.03" g="0.02" b="0.01"/>
            <position x="0" y="10" z="0"/>
        </light>
    </object>
)";
    moved[sceneObjects::firstTumbler] = tumblerObject("bigcrate.mesh", bigTumbler.position);
    moved[sceneObjects::firstTumbler + 1] = tumblerObject("crate.mesh", sideTumblers[0].position);
    moved[sceneObjects::firstTumbler + 2] = tumblerObject("crate.mesh", sideTumblers[1].position);
    std::string objects;
    for (const std::string& object : moved)
        objects += object;
    std::string text = sceneTemplate;
    text.replace(text.find('@'), 1, objects);
    return text;
}

} // namespace

void makeScenery(DataFolder& data)
{
    // The production gives the scaffold a quarter turn about x; it is built upright in the
    // world and stored turned back, so that it stands as built once turned.
    MeshBuilder frames = scaffold();
    frames.transformSince(0, rotationQuaternion({-0.70710677f, 0, 0, 0.70710677f}));
    data.writeMesh("scaffold.mesh", frames.finish());

    CrateLook lead;
    lead.edge = 14;
    lead.bevel = 0.95f;
    lead.body = "leadcrate.material";
    lead.brackets = "bracket.material";
    lead.edgeLights = "leadframe.material";
    data.writeMesh("leadcrate.mesh", crate(lead).finish());

    CrateLook big{bigTumbler.edge, 1.8f, "tin.material", "bracket.material", ""};
    data.writeMesh("bigcrate.mesh", crate(big).finish());
    CrateLook small{sideTumblers[0].edge, 0.95f, "tin.material", "bracket.material", ""};
    data.writeMesh("crate.mesh", crate(small).finish());

    data.writeMesh("yard.mesh", yard().finish());

    for (const auto& [name, text] : materials)
        data.writeBytes(name, text);
    data.writeBytes(sceneFileName, sceneText());
}

} // namespace tincrates::cratesmith
