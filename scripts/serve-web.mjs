// A static file server for the browser build, on the loopback address only.
//   node scripts/serve-web.mjs FOLDER [PORT]
// PORT 0 takes any free port. The first line on stdout is the address,
// e.g. "http://127.0.0.1:8000/".
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const Types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
};

export function serve(folder, port = 0) {
  const root = path.resolve(folder);
  const server = http.createServer((request, response) => {
    let wanted = '';
    try {
      wanted = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    } catch (e) {
      // Not a path, or not valid URL encoding: found nowhere.
    }
    const file = path.join(root, wanted.endsWith('/') ? `${wanted}index.html` : wanted);
    if ((request.method !== 'GET' && request.method !== 'HEAD') || wanted.includes('\0') ||
        !file.startsWith(root + path.sep)) {
      response.writeHead(404).end();
      return;
    }
    fs.readFile(file, (error, bytes) => {
      if (error) {
        response.writeHead(404).end();
        return;
      }
      response.writeHead(200, {
        'Content-Type': Types[path.extname(file)] ?? 'application/octet-stream',
        'Content-Length': bytes.length,
        'Cache-Control': 'no-cache',
      });
      response.end(request.method === 'HEAD' ? undefined : bytes);
    });
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => resolve(server));
  });
}

if (process.argv[1] && import.meta.url === pathToFileURL(fs.realpathSync(process.argv[1])).href) {
  const usage = 'usage: scripts/serve-web.mjs FOLDER [PORT] (FOLDER holds the built page)';
  const args = process.argv.slice(2);
  if (args.length === 1 && (args[0] === '-h' || args[0] === '--help')) {
    console.log(usage);
    process.exit(0);
  }
  const [folder, port = '8000'] = args;
  if (args.length < 1 || args.length > 2 || !fs.existsSync(path.join(folder, 'index.html'))
      || !/^\d{1,5}$/.test(port) || Number(port) > 65535) {
    console.error(usage);
    process.exit(2);
  }
  const server = await serve(folder, Number(port));
  console.log(`http://127.0.0.1:${server.address().port}/`);
}
