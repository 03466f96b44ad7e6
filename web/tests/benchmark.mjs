// The page's benchmark (bash tools/web.sh bench): in Debian's Chromium, the cost of one
// worksheet call against the native C interface over the same inputs (build/capi/kaltra_web_bench),
// the time from opening the page to its first answer, and the time to trace and draw the
// chart and to redraw a view. Writes build-web/benchmark.md, the tables of docs/performance.md.
import { spawnSync } from 'node:child_process';
import { mkdirSync, statSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { distWeb, kaltraHost, launchChromium, root, serveFolder } from './support.mjs';

const ELEMENTS = Number(process.env.KALTRA_BENCH_ELEMENTS || 100000);
const REPETITIONS = Number(process.env.KALTRA_BENCH_REPETITIONS || 7);
const LOADS = 9;

const median = (xs) => {
  const s = [...xs].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};
const fixed = (x, d = 1) => x.toFixed(d);

// The calls of one function once per element, as call_cost.cpp makes them with a function
// named, in Node.js on the same module: what callgrind counts.
async function loopInNode(name, n) {
  const { createRequire } = await import('node:module');
  const createKaltra = createRequire(import.meta.url)(path.join(distWeb, 'kaltra.js'));
  const m = await createKaltra();
  const fluid = m._malloc(8);
  m.stringToUTF8('R134a', fluid, 8);
  const along = (a, b, i) => a + (b - a) * i / n;
  let sink = 0;
  for (let i = 0; i < n; ++i) {
    if (name === 'KaltPsat') sink += m._kaltra_KaltPsat(fluid, along(-40, 60, i), 1);
    if (name === 'KaltHofTP') sink += m._kaltra_KaltHofTP(fluid, along(-20, 80, i), 1, 1);
    if (name === 'KaltTofPH' && i % 10 === 0) sink += m._kaltra_KaltTofPH(fluid, 5, along(200, 450, i), 1);
  }
  if (!Number.isFinite(sink)) process.exitCode = 1;
}

// Instructions per call under callgrind: the difference between two runs of different length,
// so that starting the program (and, in the module, compiling its code) falls out.
function instructionsPerCall(command, args, name, calls) {
  const counted = (n) => {
    const run = spawnSync('valgrind', ['--tool=callgrind', '--smc-check=all', '--callgrind-out-file=/dev/null',
      command, ...args(n)], { encoding: 'utf8', timeout: 600000 });
    const m = /Collected : (\d+)/.exec(run.stderr || '');
    if (!m) throw new Error(`callgrind of ${command} ${name}: ${run.stderr}`);
    return Number(m[1]);
  };
  const [small, large] = [20000, 60000];
  return (counted(large) - counted(small)) / (calls(large) - calls(small));
}

// The calls of web/call_cost.cpp, in the page: once per element from JavaScript into the
// module, once over the array by kaltra_evaluate, and through the page's own call (engine.js).
function callCost({ elements, repetitions }) {
  const m = window.kaltraPage.engine.module;
  const engine = window.kaltraPage.engine;
  const along = (a, b, i, n) => a + (b - a) * i / n;
  const n = elements;
  const t = new Float64Array(n), tv = new Float64Array(n), h = new Float64Array(n);
  for (let i = 0; i < n; ++i) {
    t[i] = along(-40, 60, i, n);
    tv[i] = along(-20, 80, i, n);
    h[i] = along(200, 450, i, n);
  }
  const fluid = engine.fluidText('R134a');
  const name = (text) => engine.fluidText(text);
  // Arrays in the module's memory: the inputs, the answers, the shape and strides (32-bit).
  const doubles = (array) => {
    const at = m._malloc(array.length * 8);
    m.HEAPF64.set(array, at / 8);
    return at;
  };
  const ints = (array) => {
    const at = m._malloc(array.length * 4);
    m.HEAP32.set(array, at / 4);
    return at;
  };
  const tAt = doubles(t), tvAt = doubles(tv), hAt = doubles(h);
  const p1At = doubles(new Float64Array(n).fill(1)), p5At = doubles(new Float64Array(n).fill(5));
  const answersAt = m._malloc(n * 8);
  const unitsAt = ints([1]);
  const shapeAt = ints([n]), tenthAt = ints([n / 10]), strideAt = ints([1]), every10At = ints([10]);
  const evaluate = (functionName, shape, args, strides) => {
    const argumentsAt = ints(args);
    const stridesAt = ints(strides);
    m._kaltra_evaluate(m._kaltra_function_find(name(functionName)), fluid, 1, shape, argumentsAt, stridesAt, answersAt);
    m._free(argumentsAt);
    m._free(stridesAt);
  };
  const time = (count, run) => {
    const started = performance.now();
    run();
    return (performance.now() - started) * 1e6 / count;
  };
  const best = {};
  const keep = (key, ns) => {
    best[key] = Math.min(best[key] ?? Infinity, ns);
  };
  let sink = 0;
  for (let r = 0; r < repetitions; ++r) {
    keep('KaltPsat scalar', time(n, () => { for (let i = 0; i < n; ++i) sink += m._kaltra_KaltPsat(fluid, t[i], 1); }));
    keep('KaltPsat array', time(n, () => evaluate('KaltPsat', shapeAt, [tAt, unitsAt], [strideAt, 0])));
    keep('KaltPsat page', time(n, () => { for (let i = 0; i < n; ++i) sink += engine.call('KaltPsat', 'R134a', t[i], 1).value; }));
    keep('KaltHofTP scalar', time(n, () => { for (let i = 0; i < n; ++i) sink += m._kaltra_KaltHofTP(fluid, tv[i], 1, 1); }));
    keep('KaltHofTP array', time(n, () => evaluate('KaltHofTP', shapeAt, [tvAt, p1At, unitsAt], [strideAt, strideAt, 0])));
    keep('KaltHofTP page', time(n, () => { for (let i = 0; i < n; ++i) sink += engine.call('KaltHofTP', 'R134a', tv[i], 1, 1).value; }));
    keep('KaltTofPH scalar', time(n / 10, () => { for (let i = 0; i < n / 10; ++i) sink += m._kaltra_KaltTofPH(fluid, 5, h[i * 10], 1); }));
    keep('KaltTofPH array', time(n / 10, () => evaluate('KaltTofPH', tenthAt, [p5At, hAt, unitsAt], [strideAt, every10At, 0])));
    keep('KaltTofPH page', time(n / 10, () => { for (let i = 0; i < n / 10; ++i) sink += engine.call('KaltTofPH', 'R134a', 5, h[i * 10], 1).value; }));
  }
  for (const at of [tAt, tvAt, hAt, p1At, p5At, answersAt, unitsAt, shapeAt, tenthAt, strideAt, every10At]) m._free(at);
  return { best, sink: Number.isFinite(sink) };
}

async function instructionTable(say) {
  if (spawnSync('valgrind', ['--version']).status !== 0) {
    say('(valgrind is not installed: no instruction counts)');
    return;
  }
  const native = path.join(root, 'build', 'capi', 'kaltra_web_bench');
  say(`| call (R134a, unit code 1), once per element | native, instructions | WebAssembly in V8 (Node.js ${process.version}), instructions | ratio |`);
  say('|---|---:|---:|---:|');
  for (const name of ['KaltPsat', 'KaltHofTP', 'KaltTofPH']) {
    const calls = (n) => (name === 'KaltTofPH' ? n / 10 : n);
    const here = instructionsPerCall(native, (n) => [String(n), '1', name], name, calls);
    // The module compiled whole by V8's optimizing compiler at the start, in one thread, so
    // that no compiling falls between the two runs' calls.
    const wasm = instructionsPerCall(process.execPath,
      (n) => ['--no-liftoff', '--single-threaded', fileURLToPath(import.meta.url), '--loop', name, String(n)], name, calls);
    say(`| \`${name}\` | ${here.toFixed(0)} | ${wasm.toFixed(0)} | ${(wasm / here).toFixed(2)} |`);
  }
}

async function main() {
  const server = await serveFolder(distWeb);
  const browser = await launchChromium();
  const lines = [];
  const say = (line = '') => {
    lines.push(line);
    console.log(line);
  };
  try {
    const context = await browser.newContext({ viewport: { width: 1440, height: 1000 } });
    const version = browser.version();

    // ---- Page load to first answer ----
    const loads = [];
    for (let i = 0; i < LOADS; ++i) {
      const page = await context.newPage();
      await page.goto(`${server.url}index.html`);
      await page.waitForFunction(() => window.kaltraPage && window.kaltraPage.timings.chartReady, null, { timeout: 60000 });
      loads.push(await page.evaluate(() => {
        const t = window.kaltraPage.timings;
        const navigation = performance.getEntriesByType('navigation')[0];
        return { domContentLoaded: navigation.domContentLoadedEventEnd, engine: t.engineReady, first: t.firstAnswer, chart: t.chartReady };
      }));
      await page.close();
    }

    // ---- One call ----
    const page = await context.newPage();
    await page.goto(`${server.url}index.html`);
    await page.waitForFunction(() => window.kaltraPage && window.kaltraPage.timings.chartReady, null, { timeout: 60000 });
    // The browser and the native program in turn, three times: this machine's load moves
    // every time; the best of each counts.
    const browserCost = {};
    const nativeCost = {};
    for (let round = 0; round < 3; ++round) {
      const best = (await page.evaluate(callCost, { elements: ELEMENTS, repetitions: REPETITIONS })).best;
      for (const [key, ns] of Object.entries(best)) browserCost[key] = Math.min(browserCost[key] ?? Infinity, ns);
      const native = spawnSync(path.join(root, 'build', 'capi', 'kaltra_web_bench'), [String(ELEMENTS), String(REPETITIONS)], { encoding: 'utf8' });
      if (native.status !== 0) throw new Error(`kaltra_web_bench: ${native.stderr}`);
      for (const line of native.stdout.trim().split('\n')) {
        const [name, scalar, array] = line.split('\t');
        const kept = nativeCost[name] || { scalar: Infinity, array: Infinity };
        nativeCost[name] = { scalar: Math.min(kept.scalar, Number(scalar)), array: Math.min(kept.array, Number(array)) };
      }
    }

    // ---- The chart: traced once per fluid and unit system; the overlay and a view's redraw ----
    const traces = [];
    for (const units of [0, 1]) {
      await page.selectOption('#units', String(units));
      for (const name of ['R134a', 'R22', 'R717', 'R744', 'R718', 'R13b1', 'R290']) {
        const index = await page.evaluate((n) => window.kaltraPage.fluids.find((f) => f.name === n).index, name);
        await page.selectOption('#fluid', String(index));
        const ms = await page.evaluate(() => window.kaltraPage.timings.chartTraces.at(-1));
        const started = process.hrtime.bigint();
        spawnSync(kaltraHost, ['chart', name, '--units', String(units), '-o', '/dev/null']);
        const hostMs = Number(process.hrtime.bigint() - started) / 1e6;
        traces.push({ name, units, ms, hostMs });
      }
    }
    await page.selectOption('#units', '1');
    const index = await page.evaluate(() => window.kaltraPage.fluids.find((f) => f.name === 'R134a').index);
    await page.selectOption('#fluid', String(index));
    await page.click('#tab-cycle');
    const redraws = await page.evaluate(() => {
      const times = [];
      const field = document.getElementById('cycle-condensing');
      for (let i = 0; i < 30; ++i) {
        field.value = String(35 + (i % 10));
        field.dispatchEvent(new Event('input', { bubbles: true }));
        const started = performance.now();
        window.kaltraPage.flush();
        times.push(performance.now() - started);
      }
      return { times, overlays: window.kaltraPage.timings.overlays.slice(-30) };
    });

    // ---- Report ----
    const moduleBytes = statSync(path.join(distWeb, 'kaltra.js')).size;
    say(`Chromium ${version} (Debian), headless; Node.js ${process.version}; ${ELEMENTS} elements, best of 3 x ${REPETITIONS} runs; page loads: ${LOADS}.`);
    say(`kaltra.js (the module inside, base64): ${(moduleBytes / 1024).toFixed(0)} KiB.`);
    say();
    say('| call (R134a, unit code 1) | native C interface, ns | browser, ns | browser / native |');
    say('|---|---:|---:|---:|');
    for (const name of ['KaltPsat', 'KaltHofTP', 'KaltTofPH']) {
      const n = nativeCost[name];
      const scalar = browserCost[`${name} scalar`];
      const array = browserCost[`${name} array`];
      const pageCall = browserCost[`${name} page`];
      say(`| \`${name}\`, one call per element (\`kaltra_${name}\`) | ${fixed(n.scalar)} | ${fixed(scalar)} | ${fixed(scalar / n.scalar, 2)} |`);
      say(`| \`${name}\`, one \`kaltra_evaluate\` over the array | ${fixed(n.array)} | ${fixed(array)} | ${fixed(array / n.array, 2)} |`);
      say(`| \`${name}\`, the page's own call (engine.js, counted) | ${fixed(n.scalar)} | ${fixed(pageCall)} | ${fixed(pageCall / n.scalar, 2)} |`);
    }
    say();
    const stat = (key) => `${fixed(median(loads.map((l) => l[key])), 0)} (${fixed(Math.min(...loads.map((l) => l[key])), 0)}-${fixed(Math.max(...loads.map((l) => l[key])), 0)})`;
    say('| from navigation start, ms | median (range) |');
    say('|---|---:|');
    say(`| DOMContentLoaded (the script with the module parsed) | ${stat('domContentLoaded')} |`);
    say(`| the engine ready (the module compiled and instantiated) | ${stat('engine')} |`);
    say(`| the first answer shown (the state at 25 ºC, 10 bar) | ${stat('first')} |`);
    say(`| the chart drawn | ${stat('chart')} |`);
    say();
    say('| chart | traced in the page, ms | `kaltra chart` (a whole process), ms |');
    say('|---|---:|---:|');
    for (const t of traces) say(`| ${t.name}, unit code ${t.units} | ${fixed(t.ms, 0)} | ${fixed(t.hostMs, 0)} |`);
    say();
    // The browser's clock counts in steps of 0.1 ms.
    const ms = (x) => (x < 0.1 ? 'below 0.1 ms' : `${fixed(x, 1)} ms`);
    say(`The cycle view recomputed and redrawn after an input (its worksheet calls, the tables, the overlay placed; script time): median ${ms(median(redraws.times))} ` +
      `(${ms(Math.min(...redraws.times))} to ${ms(Math.max(...redraws.times))}); the overlay alone ${ms(median(redraws.overlays))}.`);
    say();
    await instructionTable(say);
    mkdirSync(path.join(root, 'build-web'), { recursive: true });
    writeFileSync(path.join(root, 'build-web', 'benchmark.md'), `${lines.join('\n')}\n`);
  } finally {
    await browser.close();
    await server.close();
  }
}

if (process.argv[2] === '--loop') await loopInNode(process.argv[3], Number(process.argv[4]));
else await main();
