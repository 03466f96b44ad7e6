// What the page's tests and benchmarks share: a static file server on the loopback address,
// Debian's Chromium driven by playwright-core, the kaltra host answering formulas, and the
// arithmetic of a number's source (engine.js) redone from the host's answers.
import { spawn } from 'node:child_process';
import { createReadStream, existsSync, statSync } from 'node:fs';
import { createServer } from 'node:http';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { chromium } from 'playwright-core';

export const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
export const distWeb = process.env.KALTRA_WEB_DIST || path.join(root, 'dist', 'web');
export const kaltraHost = process.env.KALTRA_HOST || path.join(root, 'build', 'host', 'kaltra');
export const chromiumPath = process.env.KALTRA_CHROMIUM || '/usr/bin/chromium';

// glibc picks its exp, log and pow by the processor: on one with FMA it takes variants that
// round differently in about one call of 1,500. The WebAssembly module's C library computes
// them as glibc's plain variants do, bit for bit, so the host the page is compared with runs
// on those.
export const plainMathEnvironment = { ...process.env, GLIBC_TUNABLES: 'glibc.cpu.hwcaps=-AVX2,-FMA,-FMA4' };

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm', '.svg': 'image/svg+xml', '.csv': 'text/csv; charset=utf-8',
};

// Serves a folder on 127.0.0.1 at a free port; close() ends it and its connections.
export async function serveFolder(folder) {
  const server = createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = path.join(folder, name.endsWith('/') ? `${name}index.html` : name);
    if (!file.startsWith(folder) || !existsSync(file) || !statSync(file).isFile()) {
      response.writeHead(404, { 'content-type': 'text/plain' });
      response.end('not found');
      return;
    }
    response.writeHead(200, { 'content-type': TYPES[path.extname(file)] || 'application/octet-stream', 'cache-control': 'no-store' });
    createReadStream(file).pipe(response);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  return {
    url: `http://127.0.0.1:${port}/`,
    close: () => new Promise((resolve) => {
      server.closeAllConnections();
      server.close(resolve);
    }),
  };
}

// Debian's Chromium, headless; as root it runs without its sandbox.
export async function launchChromium() {
  const args = ['--disable-gpu', '--no-first-run', '--disable-dev-shm-usage'];
  if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');
  return chromium.launch({ executablePath: chromiumPath, headless: true, args, timeout: 60000 });
}

// The kaltra host's answers to formulas, one per line, in one process and in order.
export function hostAnswers(formulas, { plainMath = true, timeoutMs = 120000 } = {}) {
  return new Promise((resolve, reject) => {
    const child = spawn(kaltraHost, [], { env: plainMath ? plainMathEnvironment : process.env, stdio: ['pipe', 'pipe', 'pipe'] });
    const out = [];
    const err = [];
    const timer = setTimeout(() => {
      child.kill('SIGKILL');
      reject(new Error(`the kaltra host took more than ${timeoutMs} ms`));
    }, timeoutMs);
    child.stdout.on('data', (chunk) => out.push(chunk));
    child.stderr.on('data', (chunk) => err.push(chunk));
    child.on('error', (problem) => {
      clearTimeout(timer);
      reject(problem);
    });
    child.on('close', () => {
      clearTimeout(timer);
      const lines = Buffer.concat(out).toString('utf8').split('\n');
      lines.pop();
      if (lines.length !== formulas.length) {
        reject(new Error(`the kaltra host answered ${lines.length} lines for ${formulas.length} formulas: ${Buffer.concat(err)}`));
      } else {
        resolve(lines);
      }
    });
    child.stdin.on('error', () => {});
    child.stdin.end(formulas.map((f) => `${f}\n`).join(''));
  });
}

// The kaltra host run with arguments: its standard output.
export function runHost(args, { input = '', plainMath = true, timeoutMs = 60000 } = {}) {
  return new Promise((resolve, reject) => {
    const child = spawn(kaltraHost, args, { env: plainMath ? plainMathEnvironment : process.env });
    const out = [];
    const err = [];
    const timer = setTimeout(() => child.kill('SIGKILL'), timeoutMs);
    child.stdout.on('data', (chunk) => out.push(chunk));
    child.stderr.on('data', (chunk) => err.push(chunk));
    child.on('error', reject);
    child.on('close', (status) => {
      clearTimeout(timer);
      if (status !== 0) reject(new Error(`kaltra ${args.join(' ')} ended with ${status}: ${Buffer.concat(err)}`));
      else resolve(Buffer.concat(out).toString('utf8'));
    });
    // A host that does not read its input may be gone before it is written.
    child.stdin.on('error', () => {});
    child.stdin.end(input);
  });
}

// The value of a number's source: "#N" is the host's answer to the page's N-th call, a number
// stands for itself, and + - * / with parentheses are done in IEEE doubles as the page did.
export function evaluateSource(source, answerOf) {
  let at = 0;
  const peek = () => source[at];
  const fail = (why) => {
    throw new Error(`source ${source}: ${why} at ${at}`);
  };
  function primary() {
    if (peek() === '(') {
      ++at;
      const x = sum();
      if (peek() !== ')') fail('no closing parenthesis');
      ++at;
      return x;
    }
    if (peek() === '#') {
      const m = /^#(\d+)/.exec(source.slice(at));
      if (!m) fail('a call without its number');
      at += m[0].length;
      return answerOf(Number(m[1]));
    }
    const m = /^-?(\d+\.?\d*|\.\d+)(e[+-]?\d+)?/i.exec(source.slice(at));
    if (!m) fail('neither a number nor a call');
    at += m[0].length;
    return Number(m[0]);
  }
  function product() {
    let x = primary();
    while (peek() === '*' || peek() === '/') {
      const op = source[at++];
      const y = primary();
      x = op === '*' ? x * y : x / y;
    }
    return x;
  }
  function sum() {
    let x = product();
    while (peek() === '+' || peek() === '-') {
      const op = source[at++];
      const y = product();
      x = op === '+' ? x + y : x - y;
    }
    return x;
  }
  const x = sum();
  if (at !== source.length) fail('something after the end');
  return x;
}

// Bounds a promise in time.
export function within(ms, promise, what) {
  let timer;
  return Promise.race([promise, new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`${what} took more than ${ms} ms`)), ms);
  })]).finally(() => clearTimeout(timer));
}
