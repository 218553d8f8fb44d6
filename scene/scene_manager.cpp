// The scene file reader: an XML hierarchy of objects and lights with their transforms and
// colours, and the scene's ambient colour.
#include "scene/scene_manager.h"

#include "assets/material.h"
#include "assets/xml_text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <tinyxml.h>

namespace tincrates {

namespace {

// Both the XML parser and this reader descend recursively; a hostile file nested many
// thousands of levels deep would exhaust the stack. No real scene comes near this.
constexpr int maximumNestingDepth = 256;

std::string lineMessage(int row, const char* description)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "line %i: ", row);
    return buffer + std::string(description ? description : "");
}


float readNumber(const TiXmlElement* element, const char* name, float absent)
{
    const char* text = element->Attribute(name);
    return text ? float(std::atof(text)) : absent;
}

void readPosition(const TiXmlElement* element, Vector3& position)
{
    position = {readNumber(element, "x", 0.0f), readNumber(element, "y", 0.0f),
        readNumber(element, "z", 0.0f)};
}

void readRotation(const TiXmlElement* element, Quaternion& rotation)
{
    rotation = {readNumber(element, "x", 0.0f), readNumber(element, "y", 0.0f),
        readNumber(element, "z", 0.0f), readNumber(element, "w", 1.0f)};
    // q and -q are the same rotation; keeping w non-negative keeps interpolation between
    // stored rotations on the short way round.
    if (rotation.w < 0.0f)
        rotation = {-rotation.x, -rotation.y, -rotation.z, -rotation.w};
}

void readScale(const TiXmlElement* element, Vector3& scale)
{
    scale = {readNumber(element, "x", 1.0f), readNumber(element, "y", 1.0f),
        readNumber(element, "z", 1.0f)};
}

bool isNamed(const TiXmlNode* node, const char* name)
{
    return node->Type() == TiXmlNode::TINYXML_ELEMENT && std::strcmp(node->Value(), name) == 0;
}

void readTransform(const TiXmlElement* element, Transform& transform)
{
    for (const TiXmlNode* child = element->FirstChild(); child; child = child->NextSibling()) {
        if (isNamed(child, "position"))
            readPosition(child->ToElement(), transform.position);
        else if (isNamed(child, "rotation"))
            readRotation(child->ToElement(), transform.rotation);
        else if (isNamed(child, "scale"))
            readScale(child->ToElement(), transform.scale);
    }
}

class SceneReader {
public:
    SceneReader(Scene& scene, MeshManager& meshes) : scene(scene), meshes(meshes) {}

    // Reads the children of `element` into the scene below `parent` (the root when null), and
    // the parent's own transform from the same element.
    void readGroup(const TiXmlElement* element, SceneNode* parent)
    {
        if (parent)
            readTransform(element, parent->transform);
        for (const TiXmlNode* child = element->FirstChild(); child;
             child = child->NextSibling()) {
            if (isNamed(child, "object"))
                readObject(child->ToElement(), parent);
            else if (isNamed(child, "light"))
                readLight(child->ToElement(), parent);
            else if (!parent && isNamed(child, "ambient"))
                readColour(child, scene.ambient);
        }
    }

private:
    void readObject(const TiXmlElement* element, SceneNode* parent)
    {
        // The mesh is fetched before the object is listed: a mesh that fails to load stops
        // the whole scene anyway.
        const char* meshName = element->Attribute("mesh");
        Mesh* mesh = nullptr;
        if (meshName && *meshName) {
            mesh = meshes.get(meshName);
            if (std::find(scene.meshNames.begin(), scene.meshNames.end(), meshName)
                == scene.meshNames.end())
                scene.meshNames.push_back(meshName);
        }
        auto* object = scene.adopt(std::make_unique<SceneObject>(mesh, parent));
        scene.objects.push_back(object);
        for (const TiXmlNode* child = element->FirstChild(); child;
             child = child->NextSibling()) {
            if (isNamed(child, "pivot")) {
                Transform pivot;
                readTransform(child->ToElement(), pivot);
                object->pivot = transformMatrix(pivot);
            }
        }
        readGroup(element, object);
    }

    void readLight(const TiXmlElement* element, SceneNode* parent)
    {
        auto* light = scene.adopt(std::make_unique<Light>(parent));
        scene.lights.push_back(light);
        for (const TiXmlNode* child = element->FirstChild(); child;
             child = child->NextSibling()) {
            if (isNamed(child, "diffuse"))
                readColour(child, light->diffuse);
            else if (isNamed(child, "ambient"))
                readColour(child, light->ambient);
            else if (isNamed(child, "specular"))
                readColour(child, light->specular);
        }
        readGroup(element, light);
    }

    Scene& scene;
    MeshManager& meshes;
};

} // namespace

void SceneManager::holdSubAssets(Scene* scene)
{
    for (const std::string& meshName : scene->meshNames)
        meshes.get(meshName);
}

Scene* SceneManager::load(const std::string& name)
{
    std::vector<char> text = readXmlText(name);

    if (int line = lineBeyondNestingLimit(text.data(), maximumNestingDepth))
        throw lineMessage(line, "elements nested too deeply");

    TiXmlDocument document;
    document.Parse(text.data(), nullptr, TIXML_DEFAULT_ENCODING);
    if (document.Error())
        throw lineMessage(document.ErrorRow(), document.ErrorDesc());

    auto scene = std::make_unique<Scene>();
    if (const TiXmlElement* root = document.FirstChildElement())
        SceneReader(*scene, meshes).readGroup(root, nullptr);
    return scene.release();
}

} // namespace tincrates
