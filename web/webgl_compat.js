// WebGL 2 gives each buffer a type at its first binding: bound first to ELEMENT_ARRAY_BUFFER it
// holds indices and nothing else; bound first anywhere else it can never hold indices. OpenGL
// ES has no such rule, and the graphics device fills every new buffer through
// COPY_WRITE_BUFFER, so that it leaves the array and element bindings of draws alone; an
// index buffer made that way could not be drawn from in a browser.
//
// Until the device binds a new index buffer to its own target first, this defers a new
// buffer's copy-target binding and contents: they are kept here, and handed to WebGL at the
// buffer's first binding to a drawing target, which gives it its type. Buffers that have a
// type pass through untouched. Loaded before the program.
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
        if (!kept || destinationOffset < 0 || destinationOffset + bytes.length > kept.bytes.length) {
            // What WebGL itself would say of a write outside the buffer.
            console.warn('WebGL: INVALID_VALUE: bufferSubData: buffer overflow');
            return;
        }
        kept.bytes.set(bytes, destinationOffset);
    };
})();
