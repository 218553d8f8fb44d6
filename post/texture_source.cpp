// Texture sources: links to the texture field of whichever object holds the picture.
#include "post/texture_source.h"

#include "assets/texture.h"
#include "post/blur_pass.h"
#include "post/render_texture.h"

namespace tincrates {

TextureSource::TextureSource(const Texture& texture) : slot(&texture.texture) {}

TextureSource::TextureSource(const RenderTexture& texture) : slot(&texture.texture) {}

TextureSource::TextureSource(const BlurPass& pass) : slot(&pass.output.texture) {}

} // namespace tincrates
