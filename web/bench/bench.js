// The WebAssembly module against the native build, side by side in one run
// (a benchmark, not a test): check of the typical rule and of a 1 MB rule
// (the typical rule's conditions joined up to 1 MB), in the module under
// Node and in the native rules library (vantrel_check_timing), and the size
// of the inspector page.
//
// Usage: node bench.js MODULE.js NATIVE_TIMING PAGE TYPICAL_RULE [SECONDS]
// (SECONDS of each side for each rule, in five rounds; default 1)
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const [modulePath, nativeTiming, page, typicalPath, secondsArg] = process.argv.slice(2);
const rounds = 5;
const seconds = Number(secondsArg || 1) / rounds;

function timeModule(vantrel, bytes) {
  let runs = 0;
  const start = process.hrtime.bigint();
  let elapsed = 0;
  do {
    vantrel.check(bytes, 'func');
    ++runs;
    elapsed = Number(process.hrtime.bigint() - start) / 1e9;
  } while (elapsed < seconds);
  return (elapsed * 1e6) / runs;
}

function timeNative(file) {
  const out = childProcess.execFileSync(nativeTiming, [file, String(seconds)], {encoding: 'utf8'});
  return Number(out.split(' ')[0]);
}

async function main() {
  const started = process.hrtime.bigint();
  const vantrel = await require(path.resolve(modulePath))();
  const ready = Number(process.hrtime.bigint() - started) / 1e6;
  const typical = fs.readFileSync(typicalPath).toString('latin1').replace(/\r?\n$/, '');
  let large = typical;
  while (large.length < 1 << 20) large += ` @@AND@@ ${typical}`;
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'vantrel-web-bench-'));
  const rows = [];
  for (const [name, text] of [['typical rule', typical], ['1 MB rule', large]]) {
    const file = path.join(dir, 'rule.txt');
    const bytes = Buffer.from(text, 'latin1');
    fs.writeFileSync(file, bytes);
    const check = vantrel.check(bytes, 'func');
    if (!check.includes('"status": "ok"')) throw new Error(`${name}: ${check}`);
    // Rounds in turn, the fastest of each kept: the machine's other load
    // comes and goes, and must not fall on one side only.
    let wasm = Infinity;
    let native = Infinity;
    for (let round = 0; round < rounds; ++round) {
      wasm = Math.min(wasm, timeModule(vantrel, new Uint8Array(bytes)));
      native = Math.min(native, timeNative(file));
    }
    rows.push({name, bytes: bytes.length, native, wasm});
  }
  fs.rmSync(dir, {recursive: true, force: true});
  console.log('check          bytes   native us   wasm us   wasm/native');
  for (const r of rows) {
    console.log(`${r.name.padEnd(12)} ${String(r.bytes).padStart(8)} ${r.native.toFixed(2).padStart(11)} ` +
                `${r.wasm.toFixed(2).padStart(9)} ${(r.wasm / r.native).toFixed(2).padStart(13)}`);
  }
  console.log(`module ready in ${ready.toFixed(0)} ms; module ${fs.statSync(modulePath).size} bytes; ` +
              `inspector page ${fs.statSync(page).size} bytes`);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
