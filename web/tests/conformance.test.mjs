// The conformance cases (tests/data/cases.tsv) on the page's own WebAssembly module, in
// Node.js: every case through the C interface as the module exports it, checked against the
// case's expected answer and tolerance, and every answer compared bit for bit with the native
// C interface (kaltra-c) answering the same calls in the same order.
//
// Before each case a call on another fluid fills the engine's coefficient caches, so that the
// case computes its coefficients afresh, as the native conformance test arranges.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { test } from 'node:test';

import { distWeb, plainMathEnvironment, root } from './support.mjs';

const require = createRequire(import.meta.url);
const kaltraC = process.env.KALTRA_C || path.join(root, 'build', 'capi', 'kaltra-c');

// Columns: id, function, nargs, arg1..arg4, kind, expected, tol, atol, fragile, group.
function readCases() {
  const lines = readFileSync(path.join(root, 'tests', 'data', 'cases.tsv'), 'latin1').split('\n');
  const cases = [];
  for (const [i, line] of lines.entries()) {
    if (i === 0 || line.trim() === '') continue;
    const f = line.replace(/\r$/, '').split('\t');
    assert.equal(f.length, 13, `line ${i + 1} of cases.tsv has ${f.length} fields`);
    cases.push({ id: f[0], name: f[1], args: f.slice(3, 3 + Number(f[2])), kind: f[7], expected: f[8], tol: f[9], atol: f[10] });
  }
  return cases;
}

// One call through the module's C interface, answered as kaltra-c prints it.
function makeCaller(m) {
  const kinds = new Map();
  for (let p = 0; p < m._kaltra_function_count(); ++p) {
    const args = [];
    for (let a = 0; a < m._kaltra_argument_count(p); ++a) args.push(String.fromCharCode(m._kaltra_argument_kind(p, a)));
    kinds.set(m.UTF8ToString(m._kaltra_function_name(p)), args);
  }
  const buffer = m._malloc(256);
  const textArea = m._malloc(1024);
  const decoder = new TextDecoder('windows-1252');
  const texts = new Set(['KaltUnits', 'KaltName', 'KaltLongName', 'KaltForm']);
  return (name, args) => {
    const kinds_ = kinds.get(name);
    const values = args.map((a, i) => {
      if (kinds_[i] === 'B') return Number(a);
      if (kinds_[i] === 'I') return Number.parseInt(a, 10) | 0;
      const bytes = Buffer.from(a, 'latin1');
      m.HEAPU8.set(bytes, textArea);
      m.HEAPU8[textArea + bytes.length] = 0;
      return textArea;
    });
    const entry = m[`_kaltra_${name}`];
    if (texts.has(name)) {
      const code = entry(...values, buffer, 256);
      if (code !== 0) return { printed: `#ERR(${code})`, kind: 'err', code };
      let end = buffer;
      while (m.HEAPU8[end] !== 0) ++end;
      const bytes = m.HEAPU8.slice(buffer, end);
      return { printed: decoder.decode(bytes), kind: 'str', hex: Buffer.from(bytes).toString('hex') };
    }
    const x = entry(...values);
    if (name === 'KaltIndex') return { printed: String(x), kind: 'int', value: x };
    return { printed: m.UTF8ToString(m._kaltra_web_format(x, 17)), kind: 'num', value: x };
  };
}

// The formula kaltra-c reads for a call: texts quoted, a quote doubled, numbers as written.
function formula(name, args, kinds) {
  return `${name}(${args.map((a, i) => (kinds[i] === 'C' ? `"${a.replace(/"/g, '""')}"` : a)).join(', ')})`;
}

function nativeAnswers(formulas, environment) {
  return new Promise((resolve, reject) => {
    const child = spawn(kaltraC, [], { env: environment });
    const out = [];
    const timer = setTimeout(() => child.kill('SIGKILL'), 120000);
    child.stdout.on('data', (chunk) => out.push(chunk));
    child.on('error', reject);
    child.on('close', () => {
      clearTimeout(timer);
      const lines = Buffer.concat(out).toString('utf8').split('\n');
      lines.pop();
      resolve(lines);
    });
    child.stdin.on('error', () => {});
    child.stdin.end(`${formulas.join('\n')}\n`);
  });
}

// Why an answer does not pass its case, or '' when it does.
function mismatch(c, got) {
  if (c.kind !== got.kind) return `kind ${got.kind}, not ${c.kind}`;
  if (c.kind === 'num') {
    const expected = Number(c.expected);
    if (c.tol === '' && c.atol === '') return Object.is(got.value, expected) || got.value === expected ? '' : 'not exact';
    const allowed = Math.max(Number(c.tol || 0) * Math.abs(expected), Number(c.atol || 0));
    return Math.abs(got.value - expected) <= allowed ? '' : `outside tolerance ${allowed}`;
  }
  if (c.kind === 'int') return got.value === Number(c.expected) ? '' : 'integer differs';
  if (c.kind === 'err') return got.code === Number(c.expected) ? '' : 'error code differs';
  return got.hex === c.expected ? '' : 'text differs';
}

test('the conformance cases pass on the WebAssembly module, bit for bit as the native C interface', { timeout: 300000 }, async () => {
  const createKaltra = require(path.join(distWeb, 'kaltra.js'));
  const m = await createKaltra();
  const callOf = makeCaller(m);
  const kinds = new Map();
  for (let p = 0; p < m._kaltra_function_count(); ++p) {
    const args = [];
    for (let a = 0; a < m._kaltra_argument_count(p); ++a) args.push(String.fromCharCode(m._kaltra_argument_kind(p, a)));
    kinds.set(m.UTF8ToString(m._kaltra_function_name(p)), args);
  }

  const cases = readCases();
  const formulas = [];
  const answers = [];
  const failures = [];
  const tally = new Map();
  for (const c of cases) {
    assert.ok(kinds.has(c.name), `case ${c.id}: no function ${c.name} in the table`);
    // The caches filled on R11, or on R22 for a case of R11.
    const index = kinds.get(c.name)[0] === 'C' ? callOf('KaltIndex', [c.args[0]]).value : -1;
    const primer = ['R11', '77', '100', '0'];
    if (index === 1) primer[0] = 'R22';
    for (const [name, args] of [['KaltHofTP', primer], [c.name, c.args]]) {
      formulas.push(formula(name, args, kinds.get(name)));
      answers.push(callOf(name, args));
    }
    const why = mismatch(c, answers[answers.length - 1]);
    const t = tally.get(c.name) || { pass: 0, fail: 0 };
    if (why) {
      t.fail += 1;
      failures.push(`case ${c.id} ${c.name}(${c.args.join(', ')}): expected ${c.kind} ${c.expected}, got ${answers[answers.length - 1].printed}: ${why}`);
    } else {
      t.pass += 1;
    }
    tally.set(c.name, t);
  }

  const plain = await nativeAnswers(formulas, plainMathEnvironment);
  const fma = await nativeAnswers(formulas, process.env);
  assert.equal(plain.length, formulas.length, 'kaltra-c answered every call');
  const differ = (native) => formulas.map((f, i) => [f, answers[i].printed, native[i]]).filter(([, a, b]) => a !== b);
  const plainDifferences = differ(plain);
  const fmaDifferences = differ(fma);

  const passed = cases.length - failures.length;
  console.log(`conformance on the WebAssembly module: ${cases.length} cases, ${passed} pass, ${failures.length} fail`);
  console.log(`the module against the native C interface (glibc's plain exp, log, pow): ${formulas.length - plainDifferences.length} of ${formulas.length} answers bit-identical`);
  console.log(`the module against the native C interface as this processor runs it (glibc's FMA variants where it has FMA): ${formulas.length - fmaDifferences.length} of ${formulas.length} bit-identical`);
  for (const [f, a, b] of fmaDifferences.slice(0, 5)) console.log(`  ${f}: module ${a}, native ${b}`);
  assert.deepEqual(failures, [], 'every case passes');
  assert.deepEqual(plainDifferences.slice(0, 20), [], 'every answer bit for bit as the native C interface');
});
