// The OBJ reader: statements line by line, faces as fans, one vertex per distinct corner.
#include "tools/meshconv/obj_reader.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace tincrates::meshconv {

namespace {

struct Vec3 {
    float x, y, z;
};

struct Corner {
    size_t position;
    long texCoord; // -1 when the face gives none
    long normal;   // -1 when the face gives none
};

class ObjReader {
public:
    explicit ObjReader(const std::string& defaultMaterial) : currentMaterial(defaultMaterial) {}

    void readLine(std::string_view line, size_t lineNumber)
    {
        this->lineNumber = lineNumber;
        size_t comment = line.find('#');
        if (comment != std::string_view::npos)
            line = line.substr(0, comment);
        std::vector<std::string_view> words = split(line);
        if (words.empty())
            return;
        std::string_view keyword = words[0];
        if (keyword == "v")
            positions.push_back(readVector(words, 3, 4));
        else if (keyword == "vn")
            normals.push_back(readVector(words, 3, 3));
        else if (keyword == "vt")
            texCoords.push_back(readVector(words, 1, 3));
        else if (keyword == "f")
            readFace(words);
        else if (keyword == "usemtl")
            useMaterial(line, words);
    }

    MeshData finish()
    {
        MeshData result;
        result.vertices = std::move(vertices);
        for (MeshGroupData& group : groups)
            if (!group.indices.empty())
                result.groups.push_back(std::move(group));
        return result;
    }

private:
    [[noreturn]] void fail(const std::string& what) const
    {
        throw "line " + std::to_string(lineNumber) + ": " + what;
    }

    static std::vector<std::string_view> split(std::string_view line)
    {
        std::vector<std::string_view> words;
        size_t at = 0;
        while (at < line.size()) {
            while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at])))
                ++at;
            size_t start = at;
            while (at < line.size() && !std::isspace(static_cast<unsigned char>(line[at])))
                ++at;
            if (at > start)
                words.push_back(line.substr(start, at - start));
        }
        return words;
    }

    float number(std::string_view word) const
    {
        std::string text(word);
        char* end = nullptr;
        double value = std::strtod(text.c_str(), &end);
        if (end != text.c_str() + text.size() || !std::isfinite(float(value)))
            fail("not a number: " + text);
        return float(value);
    }

    // Reads `least` to `most` numbers after the keyword; missing ones are 0.
    Vec3 readVector(const std::vector<std::string_view>& words, size_t least, size_t most) const
    {
        if (words.size() - 1 < least || words.size() - 1 > most)
            fail("expected " + std::to_string(least) + " to " + std::to_string(most)
                + " numbers after " + std::string(words[0]));
        float values[3] = {0, 0, 0};
        for (size_t i = 1; i < words.size() && i <= 3; ++i)
            values[i - 1] = number(words[i]);
        if (words.size() > 4)
            number(words[4]); // a weight, checked but not used
        return {values[0], values[1], values[2]};
    }

    // A 1-based index, or a negative one counting back from the last element so far.
    long resolve(std::string_view word, size_t count, const char* what) const
    {
        std::string text(word);
        char* end = nullptr;
        long index = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || end != text.c_str() + text.size())
            fail(std::string("bad ") + what + " index: " + text);
        long resolved = index > 0 ? index - 1 : long(count) + index;
        if (index == 0 || resolved < 0 || size_t(resolved) >= count)
            fail(std::string(what) + " index out of range: " + text);
        return resolved;
    }

    Corner readCorner(std::string_view word) const
    {
        size_t firstSlash = word.find('/');
        Corner corner{};
        corner.position = size_t(resolve(word.substr(0, firstSlash), positions.size(), "position"));
        corner.texCoord = corner.normal = -1;
        if (firstSlash == std::string_view::npos)
            return corner;
        std::string_view rest = word.substr(firstSlash + 1);
        size_t secondSlash = rest.find('/');
        std::string_view texCoord = rest.substr(0, secondSlash);
        if (!texCoord.empty())
            corner.texCoord = resolve(texCoord, texCoords.size(), "texture coordinate");
        if (secondSlash != std::string_view::npos)
            corner.normal = resolve(rest.substr(secondSlash + 1), normals.size(), "normal");
        return corner;
    }

    void readFace(const std::vector<std::string_view>& words)
    {
        if (words.size() < 4)
            fail("a face needs at least three corners");
        std::vector<Corner> corners;
        for (size_t i = 1; i < words.size(); ++i)
            corners.push_back(readCorner(words[i]));
        Vec3 flat = faceNormal(corners);
        MeshGroupData& group = currentGroup();
        // With z mirrored, a face that OBJ winds counter-clockwise towards its viewer would
        // face away in the engine, which culls counter-clockwise faces: the order is reversed.
        for (size_t i = 1; i + 1 < corners.size(); ++i)
            for (size_t corner : {size_t(0), i + 1, i})
                group.indices.push_back(vertexOf(corners[corner], flat));
    }

    // Newell's method, so that polygons that are not quite flat still get a sound normal.
    Vec3 faceNormal(const std::vector<Corner>& corners) const
    {
        Vec3 sum{0, 0, 0};
        for (size_t i = 0; i < corners.size(); ++i) {
            const Vec3& a = positions[corners[i].position];
            const Vec3& b = positions[corners[(i + 1) % corners.size()].position];
            sum.x += (a.y - b.y) * (a.z + b.z);
            sum.y += (a.z - b.z) * (a.x + b.x);
            sum.z += (a.x - b.x) * (a.y + b.y);
        }
        float length = std::sqrt(sum.x * sum.x + sum.y * sum.y + sum.z * sum.z);
        if (length == 0)
            return sum;
        return {sum.x / length, sum.y / length, sum.z / length};
    }

    uint16_t vertexOf(const Corner& corner, const Vec3& flatNormal)
    {
        const Vec3& p = positions[corner.position];
        Vec3 n = corner.normal >= 0 ? normals[size_t(corner.normal)] : flatNormal;
        Vec3 t = corner.texCoord >= 0 ? texCoords[size_t(corner.texCoord)] : Vec3{0, 0, 0};
        MeshVertex vertex{p.x, p.y, -p.z, n.x, n.y, -n.z, 0xFFFFFFFFu, t.x, 1.0f - t.y};
        std::string key(reinterpret_cast<const char*>(&vertex), sizeof vertex);
        auto found = vertexIndices.find(key);
        if (found != vertexIndices.end())
            return found->second;
        // Index 65535 is out of bounds: one past it would not fit the 16-bit range end.
        if (vertices.size() >= 0xFFFF)
            fail("more than 65535 distinct vertices, more than a MESH1-file can index");
        uint16_t index = uint16_t(vertices.size());
        vertices.push_back(vertex);
        vertexIndices.emplace(std::move(key), index);
        return index;
    }

    void useMaterial(std::string_view line, const std::vector<std::string_view>& words)
    {
        if (words.size() < 2)
            fail("usemtl needs a material name");
        // The name is the rest of the line, so that names with blanks survive.
        size_t start = size_t(words[1].data() - line.data());
        size_t end = size_t(words.back().data() - line.data()) + words.back().size();
        currentMaterial = std::string(line.substr(start, end - start));
    }

    MeshGroupData& currentGroup()
    {
        auto [entry, added] = groupByMaterial.try_emplace(currentMaterial, groups.size());
        if (added)
            groups.push_back({currentMaterial, {}});
        return groups[entry->second];
    }

    size_t lineNumber = 0;
    std::string currentMaterial;
    std::vector<Vec3> positions, normals, texCoords;
    std::vector<MeshVertex> vertices;
    std::unordered_map<std::string, uint16_t> vertexIndices;
    std::vector<MeshGroupData> groups;
    std::map<std::string, size_t> groupByMaterial;
};

} // namespace

MeshData readObj(std::string_view text, const std::string& defaultMaterial)
{
    ObjReader reader(defaultMaterial);
    size_t lineNumber = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        reader.readLine(line, ++lineNumber);
        at = end + 1;
    }
    return reader.finish();
}

} // namespace tincrates::meshconv
