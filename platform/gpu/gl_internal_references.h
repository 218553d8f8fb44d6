// Module-internal to the GL back-end: the device and state blocks keep what they bind alive
// through internal references, which, as in Direct3D 9, leave the public counts alone.
#pragma once

#include "platform/gpu/gl_buffer.h"
#include "platform/gpu/gl_surface.h"
#include "platform/gpu/gl_texture.h"

namespace tincrates::gl {

inline void holdInternally(IDirect3DBaseTexture9* t)
{
    static_cast<GlTexture*>(t)->holdInternally();
}
inline void releaseInternally(IDirect3DBaseTexture9* t)
{
    static_cast<GlTexture*>(t)->releaseInternally();
}
inline void holdInternally(IDirect3DVertexBuffer9* b)
{
    static_cast<GlVertexBuffer*>(b)->holdInternally();
}
inline void releaseInternally(IDirect3DVertexBuffer9* b)
{
    static_cast<GlVertexBuffer*>(b)->releaseInternally();
}
inline void holdInternally(IDirect3DIndexBuffer9* b)
{
    static_cast<GlIndexBuffer*>(b)->holdInternally();
}
inline void releaseInternally(IDirect3DIndexBuffer9* b)
{
    static_cast<GlIndexBuffer*>(b)->releaseInternally();
}
inline void holdInternally(GlSurface* s) { s->holdInternally(); }
inline void releaseInternally(GlSurface* s) { s->releaseInternally(); }

// Holds the new object and lets go of the old one, in that order, so that replacing an object
// with itself never destroys it.
template <class T>
void replaceHeld(T*& slot, T* object)
{
    if (object)
        holdInternally(object);
    if (slot)
        releaseInternally(slot);
    slot = object;
}

} // namespace tincrates::gl
