// MESH1 bytes to and from MeshData: the one reader and writer of the format, for the engine and
// the tools alike.
#include "scene/mesh1_file.h"

#include <cstring>
#include <limits>

namespace tincrates {

namespace {

void appendCount(std::string& out, uint32_t count)
{
    for (int shift = 0; shift < 32; shift += 8)
        out += char((count >> shift) & 0xFF);
}

// Reads forward through the bytes; every read checks what is left first.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : bytes(bytes) {}

    size_t remaining() const { return bytes.size() - position; }

    uint32_t count()
    {
        need(4);
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= uint32_t(uint8_t(bytes[position + i])) << (8 * i);
        position += 4;
        return value;
    }

    void copy(void* destination, size_t length)
    {
        need(length);
        if (length > 0)
            std::memcpy(destination, bytes.data() + position, length);
        position += length;
    }

    std::string name()
    {
        size_t end = bytes.find('\0', position);
        if (end == std::string_view::npos)
            throw std::string("Truncated MESH1-file");
        std::string text(bytes.substr(position, end - position));
        position = end + 1;
        return text;
    }

    void need(uint64_t length) const
    {
        if (length > remaining())
            throw std::string("Truncated MESH1-file");
    }

private:
    std::string_view bytes;
    size_t position = 0;
};

} // namespace

std::string encodeMesh1(const MeshData& mesh)
{
    if (mesh.vertices.size() > std::numeric_limits<uint32_t>::max()
        || mesh.groups.size() > std::numeric_limits<uint32_t>::max())
        throw std::string("too many vertices or groups for a MESH1-file");
    std::string out = "MESH1";
    appendCount(out, uint32_t(mesh.vertices.size()));
    for (const MeshVertex& vertex : mesh.vertices)
        out.append(reinterpret_cast<const char*>(&vertex), sizeof vertex);
    appendCount(out, uint32_t(mesh.groups.size()));
    for (const MeshGroupData& group : mesh.groups) {
        if (group.material.find('\0') != std::string::npos)
            throw std::string("a material name holds a zero byte");
        if (group.indices.size() % 3 != 0)
            throw "group " + group.material + " does not hold whole triangles";
        out += group.material;
        out += '\0';
        appendCount(out, uint32_t(group.indices.size() / 3));
        for (uint16_t index : group.indices) {
            out += char(index & 0xFF);
            out += char(index >> 8);
        }
    }
    return out;
}

MeshData decodeMesh1(std::string_view bytes,
                     const std::function<void(const std::string&)>& onMaterialName)
{
    if (bytes.size() < 5 || bytes.substr(0, 5) != "MESH1")
        throw std::string("Not a MESH1-file");
    ByteReader reader(bytes.substr(5));
    MeshData mesh;
    uint32_t vertexCount = reader.count();
    reader.need(uint64_t(vertexCount) * sizeof(MeshVertex));
    mesh.vertices.resize(vertexCount);
    reader.copy(mesh.vertices.data(), size_t(vertexCount) * sizeof(MeshVertex));
    for (MeshVertex& vertex : mesh.vertices)
        vertex.colour = 0xFFFFFFFFu;

    uint32_t groupCount = reader.count();
    for (uint32_t i = 0; i < groupCount; ++i) {
        reader.need(5); // the smallest group: an empty name and a zero count
        MeshGroupData group;
        group.material = reader.name();
        if (onMaterialName)
            onMaterialName(group.material);
        uint32_t triangleCount = reader.count();
        reader.need(uint64_t(triangleCount) * 6);
        group.indices.resize(size_t(triangleCount) * 3);
        for (uint16_t& index : group.indices) {
            uint8_t pair[2];
            reader.copy(pair, 2);
            index = uint16_t(pair[0] | pair[1] << 8);
            if (index >= vertexCount || index == 0xFFFF)
                throw "Vertex index out of range: " + std::to_string(index);
        }
        mesh.groups.push_back(std::move(group));
    }
    return mesh;
}

} // namespace tincrates
