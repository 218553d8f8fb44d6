// Serves the built page (build-web/site) on this machine only, for a browser here or a test.
//
//   node web/serve.mjs [FOLDER] [--port PORT]
//
// Prints the page's address on one line once it listens. PORT 0 takes a free port.
import { createReadStream, promises as fs } from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const types = {
    '.html': 'text/html; charset=utf-8',
    '.js': 'text/javascript; charset=utf-8',
    '.mjs': 'text/javascript; charset=utf-8',
    // instantiateStreaming takes WebAssembly only under its own type.
    '.wasm': 'application/wasm',
    '.png': 'image/png',
    '.txt': 'text/plain; charset=utf-8',
};

// Starts serving `root`; resolves to the server once it listens on 127.0.0.1.
export function serve(root, port = 0) {
    root = path.resolve(root);
    const server = http.createServer(async (request, response) => {
        try {
            const url = new URL(request.url, 'http://localhost');
            let name = decodeURIComponent(url.pathname);
            if (name.endsWith('/'))
                name += 'index.html';
            const file = path.join(root, path.normalize(name));
            if (file !== root && !file.startsWith(root + path.sep))
                throw Object.assign(new Error('outside'), { code: 'ENOENT' });
            const stat = await fs.stat(file);
            if (!stat.isFile())
                throw Object.assign(new Error('not a file'), { code: 'ENOENT' });
            response.writeHead(200, {
                'Content-Type': types[path.extname(file)] || 'application/octet-stream',
                'Content-Length': stat.size,
                'Cache-Control': 'no-cache',
            });
            if (request.method === 'HEAD')
                return response.end();
            createReadStream(file).pipe(response);
        } catch (error) {
            const status = error.code === 'ENOENT' ? 404 : 500;
            response.writeHead(status, { 'Content-Type': 'text/plain' });
            response.end(error.code === 'ENOENT' ? 'not found\n' : 'server error\n');
        }
    });
    return new Promise((resolve, reject) => {
        server.once('error', reject);
        server.listen(port, '127.0.0.1', () => resolve(server));
    });
}

if (import.meta.url === `file://${process.argv[1]}`) {
    const args = process.argv.slice(2);
    let folder = 'build-web/site';
    let port = 8014;
    for (let i = 0; i < args.length; ++i) {
        if (args[i] === '--port')
            port = Number(args[++i]);
        else
            folder = args[i];
    }
    const server = await serve(folder, port);
    console.log(`The production plays at http://127.0.0.1:${server.address().port}/ ` +
        `(a moment: ?t=60); Ctrl-C stops the server.`);
}
