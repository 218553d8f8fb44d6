// The material file reader: an XML document whose root's children set a material's fields.
#include "assets/material_manager.h"

#include "assets/xml_text.h"

#include <tinyxml.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace tincrates {

namespace {

// atof's rules: leading blanks skipped, the longest number prefix read, 0 without digits.
float attributeNumber(const TiXmlElement& element, const char* name, float absent)
{
    const char* text = element.Attribute(name);
    return text ? float(std::atof(text)) : absent;
}

// True when the attribute is present and equal to `keyword` (exact, case-sensitive).
bool isKeyword(const char* value, const char* keyword)
{
    return std::strcmp(value, keyword) == 0;
}

struct BlendName {
    const char* name;
    D3DBLEND value;
};

constexpr BlendName blendNames[] = {
    {"zero", D3DBLEND_ZERO},
    {"one", D3DBLEND_ONE},
    {"srccolor", D3DBLEND_SRCCOLOR},
    {"invsrccolor", D3DBLEND_INVSRCCOLOR},
    {"srcalpha", D3DBLEND_SRCALPHA},
    {"invsrcalpha", D3DBLEND_INVSRCALPHA},
    {"destalpha", D3DBLEND_DESTALPHA},
    {"invdestalpha", D3DBLEND_INVDESTALPHA},
    {"destcolor", D3DBLEND_DESTCOLOR},
    {"invdestcolor", D3DBLEND_INVDESTCOLOR},
    {"srcalphasat", D3DBLEND_SRCALPHASAT},
    {"bothsrcalpha", D3DBLEND_BOTHSRCALPHA},
    {"bothinvsrcalpha", D3DBLEND_BOTHINVSRCALPHA},
    {"blendfactor", D3DBLEND_BLENDFACTOR},
    {"invblendfactor", D3DBLEND_INVBLENDFACTOR},
};

D3DBLEND blendFactor(const char* value, const char* error)
{
    for (const BlendName& blend : blendNames)
        if (isKeyword(value, blend.name))
            return blend.value;
    throw std::string(error);
}

void readSpecular(const TiXmlElement& element, Material& material)
{
    readColour(&element, material.specular);
    material.shininess = attributeNumber(element, "shinyness", 0.0f);
    material.power = attributeNumber(element, "power", 1.0f);
}

void readZBuffer(const TiXmlElement& element, Material& material)
{
    if (const char* mode = element.Attribute("mode")) {
        if (isKeyword(mode, "false"))
            material.zMode = D3DZB_FALSE;
        else if (isKeyword(mode, "true"))
            material.zMode = D3DZB_TRUE;
        else if (isKeyword(mode, "usew"))
            material.zMode = D3DZB_USEW;
        else
            throw std::string("invalid zbuffer mode");
    }
    // Any "zbuffer" element switches depth writes back on unless it says test="false".
    const char* test = element.Attribute("test");
    material.zWrite = !(test && isKeyword(test, "false"));
}

void readCull(const TiXmlElement& element, Material& material)
{
    const char* mode = element.Attribute("mode");
    if (!mode)
        return;
    if (isKeyword(mode, "none"))
        material.cullMode = D3DCULL_NONE;
    else if (isKeyword(mode, "cw"))
        material.cullMode = D3DCULL_CW;
    else if (isKeyword(mode, "ccw"))
        material.cullMode = D3DCULL_CCW;
    else
        throw std::string("invalid cull mode");
}

void readBlend(const TiXmlElement& element, Material& material)
{
    if (const char* source = element.Attribute("srcblend"))
        material.srcBlend = blendFactor(source, "invalid srcblend");
    if (const char* destination = element.Attribute("dstblend"))
        material.dstBlend = blendFactor(destination, "invalid dstblend");
}

// The texture is held by `textures` from here on, even if a later element fails the load:
// the manager gives it back when it is destroyed.
void readTextureFile(const TiXmlElement& element, TextureManager& textures, Texture*& slot,
    std::vector<std::string>& names)
{
    if (const char* file = element.Attribute("file")) {
        slot = textures.get(file);
        names.push_back(file);
    }
}

} // namespace

void readColour(const TiXmlNode* node, Colour& colour)
{
    const TiXmlElement* element = node ? node->ToElement() : nullptr;
    if (!element)
        return;
    colour.r = attributeNumber(*element, "r", 1.0f);
    colour.g = attributeNumber(*element, "g", 1.0f);
    colour.b = attributeNumber(*element, "b", 1.0f);
    colour.a = attributeNumber(*element, "a", 1.0f);
}

void MaterialManager::holdSubAssets(Material* material)
{
    for (const std::string& textureName : textureNames[material])
        textures.get(textureName);
}

Material* MaterialManager::load(const std::string& name)
{
    std::vector<char> text = readXmlText(name);
    TiXmlDocument document;
    document.Parse(text.data());
    if (document.Error()) {
        const char* description = document.ErrorDesc();
        throw "line " + std::to_string(document.ErrorRow()) + ": "
            + (description ? description : "");
    }
    const TiXmlElement* root = document.FirstChildElement();
    if (!root)
        throw std::string("No root element");

    auto material = std::make_unique<Material>();
    std::vector<std::string> names;
    for (const TiXmlNode* child = root->FirstChild(); child; child = child->NextSibling()) {
        const TiXmlElement* element = child->ToElement();
        if (!element)
            continue;
        const char* keyword = element->Value();
        if (isKeyword(keyword, "emissive"))
            readColour(element, material->emissive);
        else if (isKeyword(keyword, "ambient"))
            readColour(element, material->ambient);
        else if (isKeyword(keyword, "diffuse"))
            readColour(element, material->diffuse);
        else if (isKeyword(keyword, "specular"))
            readSpecular(*element, *material);
        else if (isKeyword(keyword, "zbuffer"))
            readZBuffer(*element, *material);
        else if (isKeyword(keyword, "cull"))
            readCull(*element, *material);
        else if (isKeyword(keyword, "blend"))
            readBlend(*element, *material);
        else if (isKeyword(keyword, "texture"))
            readTextureFile(*element, textures, material->texture, names);
        else if (isKeyword(keyword, "envmap"))
            readTextureFile(*element, textures, material->envmap, names);
    }
    // Keyed by address: a later material at the same address is registered here afresh.
    textureNames[material.get()] = std::move(names);
    return material.release();
}

} // namespace tincrates
