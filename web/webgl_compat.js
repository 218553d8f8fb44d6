// Where WebGL 2 is stricter than OpenGL ES 3.0, for the graphics device as it stands. Loaded
// before the program; each rule is kept to the calls that it concerns, and everything else
// passes through untouched. Both belong in the device itself in time (see the README).
//
// 1. Buffer types. WebGL 2 gives each buffer a type at its first binding: bound first to
// ELEMENT_ARRAY_BUFFER it holds indices and nothing else; bound first anywhere else it can
// never hold indices. The device fills every new buffer through COPY_WRITE_BUFFER, so that it
// leaves the array and element bindings of draws alone; an index buffer made that way could
// not be drawn from. So a new buffer's copy-target binding and contents are kept here, and
// handed to WebGL at the buffer's first binding to a drawing target, which types it.
//
// 2. Attachment sizes. WebGL 2 refuses a framebuffer whose attachments differ in size
// (FRAMEBUFFER_INCOMPLETE_DIMENSIONS); OpenGL ES draws into the area they share. The device
// attaches its one depth buffer, of the back buffer's size, to smaller render targets too (the
// glow's 256 x 128 texture). Such a target gets a depth buffer of its own size instead, of the
// same format. The production clears the depth buffer whenever it starts drawing into a
// target, so nothing depends on depth values passing from one target to another.
'use strict';

(() => {
    if (typeof WebGL2RenderingContext === 'undefined')
        return;
    const COPY_READ_BUFFER = 0x8F36;
    const COPY_WRITE_BUFFER = 0x8F37;
    const isCopyTarget = target => target === COPY_READ_BUFFER || target === COPY_WRITE_BUFFER;

    const proto = WebGL2RenderingContext.prototype;
    const bindBuffer = proto.bindBuffer;
    const bufferData = proto.bufferData;
    const bufferSubData = proto.bufferSubData;

    // Per context: buffers WebGL has typed, contents kept for untyped ones, and which untyped
    // buffer stands bound to each copy target.
    const states = new WeakMap();
    function stateOf(context) {
        let state = states.get(context);
        if (!state) {
            state = { typed: new WeakSet(), kept: new WeakMap(), copyBinding: new Map() };
            states.set(context, state);
        }
        return state;
    }

    function bytesOf(source, offset, length) {
        const view = source instanceof ArrayBuffer
            ? new Uint8Array(source)
            : new Uint8Array(source.buffer, source.byteOffset, source.byteLength);
        const size = source.BYTES_PER_ELEMENT || 1;
        const start = (offset || 0) * size;
        const end = length ? start + length * size : view.length;
        return view.subarray(start, end);
    }

    proto.bindBuffer = function (target, buffer) {
        const state = stateOf(this);
        if (buffer && !state.typed.has(buffer)) {
            if (isCopyTarget(target)) {
                state.copyBinding.set(target, buffer);
                if (!state.kept.has(buffer))
                    state.kept.set(buffer, null);
                return;
            }
            state.typed.add(buffer);
            bindBuffer.call(this, target, buffer);
            const kept = state.kept.get(buffer);
            state.kept.delete(buffer);
            if (kept)
                bufferData.call(this, target, kept.bytes, kept.usage);
            return;
        }
        if (isCopyTarget(target))
            state.copyBinding.delete(target);
        bindBuffer.call(this, target, buffer);
    };

    proto.bufferData = function (target, source, usage, offset, length) {
        const state = stateOf(this);
        const buffer = isCopyTarget(target) ? state.copyBinding.get(target) : undefined;
        if (!buffer)
            return bufferData.apply(this, arguments);
        const bytes = typeof source === 'number'
            ? new Uint8Array(source)
            : bytesOf(source, offset, length).slice();
        state.kept.set(buffer, { bytes, usage });
    };

    proto.bufferSubData = function (target, destinationOffset, source, offset, length) {
        const state = stateOf(this);
        const buffer = isCopyTarget(target) ? state.copyBinding.get(target) : undefined;
        if (!buffer)
            return bufferSubData.apply(this, arguments);
        const kept = state.kept.get(buffer);
        const bytes = bytesOf(source, offset, length);
        if (!kept || destinationOffset < 0
            || destinationOffset + bytes.length > kept.bytes.length) {
            // What WebGL itself would say of a write outside the buffer.
            console.warn('WebGL: INVALID_VALUE: bufferSubData: buffer overflow');
            return;
        }
        kept.bytes.set(bytes, destinationOffset);
    };

    // Sizes of renderbuffers and of textures' first levels, as they are given storage.
    const sizes = new WeakMap();
    const renderbufferStorage = proto.renderbufferStorage;
    const texStorage2D = proto.texStorage2D;
    const texImage2D = proto.texImage2D;
    const framebufferRenderbuffer = proto.framebufferRenderbuffer;

    proto.renderbufferStorage = function (target, format, width, height) {
        const renderbuffer = this.getParameter(this.RENDERBUFFER_BINDING);
        if (renderbuffer)
            sizes.set(renderbuffer, { width, height, format });
        return renderbufferStorage.apply(this, arguments);
    };

    proto.texStorage2D = function (target, levels, format, width, height) {
        if (target === this.TEXTURE_2D) {
            const texture = this.getParameter(this.TEXTURE_BINDING_2D);
            if (texture)
                sizes.set(texture, { width, height });
        }
        return texStorage2D.apply(this, arguments);
    };

    proto.texImage2D = function (target, level, format, width, height) {
        if (target === this.TEXTURE_2D && level === 0 && typeof width === 'number'
            && typeof height === 'number') {
            const texture = this.getParameter(this.TEXTURE_BINDING_2D);
            if (texture)
                sizes.set(texture, { width, height });
        }
        return texImage2D.apply(this, arguments);
    };

    // Per depth renderbuffer, its stand-ins by size ("256x128").
    const standIns = new WeakMap();

    proto.framebufferRenderbuffer = function (target, attachment, renderbufferTarget,
        renderbuffer) {
        const isDepth = attachment === this.DEPTH_STENCIL_ATTACHMENT
            || attachment === this.DEPTH_ATTACHMENT || attachment === this.STENCIL_ATTACHMENT;
        const depthSize = renderbuffer && sizes.get(renderbuffer);
        if (!isDepth || !depthSize)
            return framebufferRenderbuffer.apply(this, arguments);
        const colour = this.getFramebufferAttachmentParameter(target, this.COLOR_ATTACHMENT0,
            this.FRAMEBUFFER_ATTACHMENT_OBJECT_NAME);
        const colourSize = colour && sizes.get(colour);
        if (!colourSize || (colourSize.width === depthSize.width
                            && colourSize.height === depthSize.height))
            return framebufferRenderbuffer.apply(this, arguments);
        let byKey = standIns.get(renderbuffer);
        if (!byKey) {
            byKey = new Map();
            standIns.set(renderbuffer, byKey);
        }
        const key = `${colourSize.width}x${colourSize.height}`;
        let standIn = byKey.get(key);
        if (!standIn) {
            standIn = this.createRenderbuffer();
            const bound = this.getParameter(this.RENDERBUFFER_BINDING);
            this.bindRenderbuffer(this.RENDERBUFFER, standIn);
            renderbufferStorage.call(this, this.RENDERBUFFER, depthSize.format,
                colourSize.width, colourSize.height);
            this.bindRenderbuffer(this.RENDERBUFFER, bound);
            byKey.set(key, standIn);
        }
        return framebufferRenderbuffer.call(this, target, attachment, renderbufferTarget, standIn);
    };
})();
