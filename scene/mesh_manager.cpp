// The MESH1 file reader: vertices, then groups of 16-bit triangle indices with a material name.
#include "scene/mesh_manager.h"

#include "datafiles/data_file.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace tincrates {

namespace {

constexpr char meshMagic[5] = {'M', 'E', 'S', 'H', '1'};
constexpr uint32_t vertexRecordSize = 36;

// A count that claims more records than the rest of the file holds is a truncated (or damaged)
// file; checking before sizing the arrays keeps a bad count from asking for gigabytes.
const std::string truncatedText = "Truncated MESH1-file";

uint32_t remainingBytes(const DataFile& file)
{
    return file.size - file.position;
}

uint32_t readCount(DataFile& file)
{
    uint8_t bytes[4];
    if (readDataFile(bytes, 1, 4, &file) != 4)
        throw truncatedText;
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16
        | uint32_t(bytes[3]) << 24;
}

std::string readMaterialName(DataFile& file)
{
    const uint8_t* begin = file.data + file.position;
    const void* terminator = std::memchr(begin, 0, remainingBytes(file));
    if (!terminator)
        throw truncatedText;
    std::unique_ptr<char, void (*)(void*)> copy(readDataString(&file), std::free);
    if (!copy)
        throw std::string("Out of memory");
    return std::string(copy.get());
}

void readVertices(DataFile& file, Mesh& mesh, uint32_t vertexCount)
{
    if (uint64_t(vertexCount) * vertexRecordSize > remainingBytes(file))
        throw truncatedText;
    mesh.vertices.resize(vertexCount);
    if (vertexCount > 0)
        readDataFile(mesh.vertices.data(), vertexRecordSize, vertexCount, &file);
    // Vertex colours take no part in the look: lighting and materials give the colour.
    for (MeshVertex& vertex : mesh.vertices)
        vertex.colour = 0xFFFFFFFFu;
}

// Indices must address a vertex of the mesh (the buffers are read by the device without
// bounds) and stay below 65535, so that the largest index + 1 fits the 16-bit end of range.
void readIndices(DataFile& file, MeshGroup& group, uint32_t triangleCount, size_t vertexCount)
{
    uint64_t indexCount = uint64_t(triangleCount) * 3;
    if (indexCount * 2 > remainingBytes(file))
        throw truncatedText;
    group.indices.assign(size_t(indexCount), 0);
    if (indexCount > 0)
        readDataFile(group.indices.data(), 2, uint32_t(indexCount), &file);
    for (uint16_t index : group.indices)
        if (index >= vertexCount || index == 0xFFFF)
            throw "Vertex index out of range: " + std::to_string(index);
}

} // namespace

void MeshManager::holdSubAssets(Mesh* mesh)
{
    for (const std::string& materialName : materialNames[mesh])
        materials.get(materialName);
}

Mesh* MeshManager::load(const std::string& name)
{
    std::string archiveProblem;
    std::unique_ptr<DataFile, int (*)(DataFile*)> file(
        openDataFile(name.c_str(), &archiveProblem), closeDataFile);
    if (!file)
        throw notFoundMessage("File not found", archiveProblem);

    char magic[5];
    if (readDataFile(magic, 1, 5, file.get()) != 5 || std::memcmp(magic, meshMagic, 5) != 0)
        throw std::string("Not a MESH1-file");

    auto mesh = std::make_unique<Mesh>();
    readVertices(*file, *mesh, readCount(*file));

    std::vector<std::string> names;
    uint32_t groupCount = readCount(*file);
    for (uint32_t i = 0; i < groupCount; ++i) {
        // The smallest group record is an empty name and a zero triangle count.
        if (remainingBytes(*file) < 5)
            throw truncatedText;
        MeshGroup group;
        names.push_back(readMaterialName(*file));
        group.material = materials.get(names.back());
        readIndices(*file, group, readCount(*file), mesh->vertices.size());
        mesh->groups.push_back(std::move(group));
    }
    // Keyed by address: a later mesh at the same address is registered here afresh.
    materialNames[mesh.get()] = std::move(names);
    return mesh.release();
}

} // namespace tincrates
