// The WebAssembly module against the native tool, byte for byte.
//
// Generates rule texts (well-formed ones, ones with marks, joiners, both
// joiners, line breaks and stray bytes inserted, ones with an item without
// "==", bytes that are not UTF-8, a final CR, LF or CRLF) and record sets
// (fields holding marks, joiners, both joiners, line breaks and characters
// that latin1 cannot carry), writes each to a file, runs the native
// `vantrel` on every file (two shells, one process per file and command),
// and holds the module's answer to the tool's standard output (and, for an
// error, to its message):
//
//   check(text)          vantrel check --json --input text
//   parse(text)          vantrel parse
//   checkRecords(json)   vantrel check --json --input json
//   format(json)         vantrel format
//
// Every verdict must occur often enough to count (ok, lossy and rejected for
// texts, ok and lossy for records), and for every lossy text the bytes that
// explain() marks "dropped" must be the spans that check names.
//
// Usage: node differential_test.js MODULE.js VANTREL WORKDIR [TEXTS] [RECORDS]
'use strict';
const assert = require('assert');
const childProcess = require('child_process');
const fs = require('fs');
const path = require('path');

const [modulePath, tool, workdir, textArg, recordArg, sampleArg] = process.argv.slice(2);
const textCount = Number(textArg || 10000);
const recordCount = Number(recordArg || 10000);
const sampleCount = Number(sampleArg || 250);
const minimumPerVerdict = Math.floor(Math.min(textCount, recordCount) / 10);

// A small seeded generator (mulberry32), so that a failure is repeatable.
function generator(seed) {
  let a = seed >>> 0;
  const next = () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  const r = {
    next,
    int: (n) => Math.floor(next() * n),
    pick: (list) => list[Math.floor(next() * list.length)],
    chance: (p) => next() < p,
  };
  return r;
}

const MARKS = ['--#--', '--{--', '--}--', '--;--', '==', '--,--'];
const JOINERS = ['@@AND@@', '@@OR@@'];
const WORDS = ['Login', 'Checkout', 'London', 'response time', 'Times', '3',
  'x', 'a b', 'Transaction_Name', '-', 'caf\u00e9', '\u20ac'];

// Field bytes: words, stray dashes and bytes, sometimes a mark or joiner.
function fieldBytes(r, marks) {
  const parts = [];
  const n = r.int(3);
  for (let i = 0; i < n; ++i) {
    const roll = r.next();
    if (roll < 0.7) parts.push(Buffer.from(r.pick(WORDS), 'utf8'));
    else if (roll < 0.8) parts.push(Buffer.from([r.pick([0xe9, 0xff, 0x80, 0xc3])]));
    else if (marks) parts.push(Buffer.from(r.pick([...MARKS, ...JOINERS, '\r', '\n'])));
    else parts.push(Buffer.from('_'));
  }
  return Buffer.concat(parts);
}

// One condition as the writer lays it out (or with an item without "==").
function conditionBytes(r, marks, rejected) {
  const b = [Buffer.from('--#--'), fieldBytes(r, marks), Buffer.from('--#----{--'),
    fieldBytes(r, marks), Buffer.from('--}--')];
  const items = r.int(4);
  if (items === 0 && !rejected) {
    b.push(Buffer.from('--}--'));
    return Buffer.concat(b);
  }
  b.push(Buffer.from('--{--'));
  const bad = rejected ? r.int(Math.max(items, 1)) : -1;
  for (let i = 0; i < Math.max(items, rejected ? 1 : 0); ++i) {
    if (i > 0) b.push(Buffer.from('--;--'));
    if (i === bad) {
      b.push(fieldBytes(r, false));
      continue;
    }
    const key = fieldBytes(r, marks);  // an empty key is an item without "=="
    b.push(key.length > 0 ? key : Buffer.from('k'), Buffer.from('=='));
    const values = 1 + r.int(3);
    for (let v = 0; v < values; ++v) {
      if (v > 0) b.push(Buffer.from('--,--'));
      b.push(fieldBytes(r, marks));
    }
  }
  b.push(Buffer.from('--}--'));
  return Buffer.concat(b);
}

// A definition text: well-formed, then (for lossy ones) bytes inserted.
function ruleText(r, i) {
  const shape = i % 3;  // 0 as written, 1 with insertions, 2 rejected
  const joiner = r.pick(JOINERS);
  const n = 1 + r.int(3);
  const rejectedAt = shape === 2 ? r.int(n) : -1;
  const pieces = [];
  for (let c = 0; c < n; ++c) {
    pieces.push(conditionBytes(r, shape === 1 && r.chance(0.3), c === rejectedAt));
  }
  let text = Buffer.concat(pieces.flatMap((p, c) =>
    (c === 0 ? [p] : [Buffer.from(` ${joiner} `), p])));
  if (shape === 1) {
    const inserts = 1 + r.int(3);
    for (let k = 0; k < inserts; ++k) {
      const at = r.int(text.length + 1);
      const what = Buffer.from(r.pick([...MARKS, ...JOINERS, ' ', 'x', '\r\n', '-', '#']));
      text = Buffer.concat([text.subarray(0, at), what, text.subarray(at)]);
    }
  }
  const ending = r.pick(['', '', '', '\n', '\r\n', '\r', '\n\n']);
  return Buffer.concat([text, Buffer.from(ending)]);
}

// A field of a record set as a JSON string's text.
function fieldText(r, latin1) {
  const parts = [];
  const n = r.int(3);
  for (let i = 0; i < n; ++i) {
    const roll = r.next();
    if (roll < 0.55) parts.push(r.pick(WORDS.filter((w) => !latin1 || w !== '\u20ac')));
    else if (roll < 0.85) parts.push(r.pick([...MARKS, ...JOINERS, '@@AND@@ x @@OR@@', '\r', '\n', ' ']));
    else if (roll < 0.98) parts.push(latin1 ? '\u00ff\u0080' : 'h\u00e9');
    else parts.push('\u20ac');  // not latin1: an error under --bytes latin1
  }
  return parts.join('');
}

function recordSet(r, latin1) {
  // Plain ones mostly come back; the others hold marks and joiners, and
  // some have what the text form cannot say (no values, an empty key, a
  // joiner with one condition, a combination with no joiner word).
  const plain = r.chance(0.5);
  const field = () => (plain ? r.pick(WORDS.slice(0, 9)) : fieldText(r, latin1));
  const definitions = [];
  const n = r.int(4);
  for (let d = 0; d < n; ++d) {
    const params = [];
    const p = r.int(3);
    for (let k = 0; k < p; ++k) {
      const values = [];
      const v = plain ? 1 + r.int(2) : r.int(3);
      for (let j = 0; j < v; ++j) values.push(field());
      params.push({key: field(), values});
    }
    definitions.push({name: field(), detail: field(), params});
  }
  const combination = plain ? (n < 2 ? null : r.pick([0, 1])) :
    r.pick([0, 1, 0, 1, null, 7, 4294967295]);
  return JSON.stringify({combination, definitions}, null, r.chance(0.5) ? 1 : undefined);
}

// Runs `commands` (lines of shell) in two shells at once.
function runAll(lines) {
  const halves = [lines.filter((_, i) => i % 2 === 0), lines.filter((_, i) => i % 2 === 1)];
  return Promise.all(halves.map((half, h) => {
    const script = path.join(workdir, `run${h}.sh`);
    fs.writeFileSync(script, half.join('\n') + '\n');
    return new Promise((resolve, reject) => {
      const child = childProcess.spawn('bash', [script], {stdio: 'inherit'});
      child.on('exit', (code) => (code === 0 ? resolve() : reject(new Error(`${script}: ${code}`))));
    });
  }));
}

const quote = (s) => `'${s.replace(/'/g, "'\\''")}'`;

// The tool's message on standard error (its last line), without "vantrel CMD: " and the
// file's name, which the module does not have.
function message(stderr, command, file) {
  // The last line: a warning may come before the error.
  let text = stderr.toString('utf8').replace(/\n$/, '').split('\n').pop();
  const prefix = `vantrel ${command}: `;
  assert.ok(text.startsWith(prefix), `${file}: ${text}`);
  text = text.slice(prefix.length);
  if (text.startsWith(`${file}: `)) text = text.slice(file.length + 2);
  return text;
}

function errorOf(fn) {
  try {
    return {value: fn()};
  } catch (error) {
    return {error: error.message};
  }
}

// Every rule in one batch per command and kind (--bytes latin1, JSON
// Lines): the rows of the tool, by id.
async function batchRows(t, name, command, kind, rows) {
  const input = path.join(workdir, `${name}.jsonl`);
  const output = `${input}.out`;
  fs.writeFileSync(input, rows.map((row) => JSON.stringify(row)).join('\n') + '\n');
  await runAll([`${t} ${command} --batch jsonl --bytes latin1 --kind ${kind} ${quote(input)} >${quote(output)} 2>/dev/null || true`]);
  const byId = new Map();
  for (const line of fs.readFileSync(output, 'utf8').split('\n')) {
    if (line !== '') byId.set(JSON.parse(line).id, line);
  }
  return byId;
}

// A single rule's JSON report as the batch writes it for that rule: on one
// line, the id first, an ok report reduced to its status.
function asRow(id, report, ok) {
  const value = JSON.parse(report);
  return JSON.stringify(ok(value) ? {id, status: value.status} : {id, ...value});
}

// As the tool reads a file of one rule: one final LF or CRLF is not part
// of it (a batch row's text is as it is).
function withoutFinalLineBreak(bytes) {
  const n = bytes.length;
  if (n >= 2 && bytes[n - 2] === 0x0d && bytes[n - 1] === 0x0a) return bytes.subarray(0, n - 2);
  if (n >= 1 && bytes[n - 1] === 0x0a) return bytes.subarray(0, n - 1);
  return bytes;
}

const latin1Text = (bytes) => Buffer.from(bytes).toString('latin1');

async function main() {
  const createVantrel = require(path.resolve(modulePath));
  const vantrel = await createVantrel();
  fs.rmSync(workdir, {recursive: true, force: true});
  fs.mkdirSync(workdir, {recursive: true});
  const r = generator(0x5eed);
  const t = quote(path.resolve(tool));

  const texts = [];
  const lines = [];
  for (let i = 0; i < textCount; ++i) {
    const bytes = ruleText(r, i);
    const kind = r.pick(['func', 'filter']);
    const mode = r.chance(0.3) ? 'latin1' : 'utf8';
    const file = path.join(workdir, `t${i}.txt`);
    texts.push({bytes, kind, mode, file});
    if (i >= sampleCount) continue;
    fs.writeFileSync(file, bytes);
    const o = `--kind ${kind} --bytes ${mode}`;
    lines.push(`${t} check --json --input text ${o} ${quote(file)} >${quote(file)}.check 2>&1`);
    lines.push(`${t} parse ${o} ${quote(file)} >${quote(file)}.parse 2>${quote(file)}.err`);
  }
  const records = [];
  for (let i = 0; i < recordCount; ++i) {
    const mode = r.chance(0.4) ? 'latin1' : 'utf8';
    const json = recordSet(r, mode === 'latin1');
    const kind = r.pick(['func', 'filter']);
    const file = path.join(workdir, `r${i}.json`);
    records.push({json, kind, mode, file});
    if (i >= sampleCount) continue;
    fs.writeFileSync(file, json);
    const o = `--kind ${kind} --bytes ${mode}`;
    lines.push(`${t} check --json --input json ${o} ${quote(file)} >${quote(file)}.check 2>${quote(file)}.err`);
    lines.push(`${t} format ${o} ${quote(file)} >${quote(file)}.format 2>/dev/null`);
  }
  const started = Date.now();
  await runAll(lines.map((line) => `${line} || true`));

  // Every rule, through the batches.
  const rows = {};
  for (const kind of ['func', 'filter']) {
    const textRows = texts.map((x, id) => ({id, x})).filter(({x}) => x.kind === kind)
        .map(({x, id}) => ({id, text: latin1Text(withoutFinalLineBreak(x.bytes))}));
    rows[`check text ${kind}`] = await batchRows(t, `tc-${kind}`, 'check', kind, textRows);
    rows[`parse ${kind}`] = await batchRows(t, `tp-${kind}`, 'parse', kind, textRows);
    const recordRows = [];
    records.forEach((x, id) => {
      if (x.kind !== kind) return;
      recordRows.push({id, ...JSON.parse(x.json)});
    });
    rows[`check records ${kind}`] = await batchRows(t, `rc-${kind}`, 'check', kind, recordRows);
    rows[`format ${kind}`] = await batchRows(t, `rf-${kind}`, 'format', kind, recordRows);
  }
  const nativeSeconds = (Date.now() - started) / 1000;

  const textVerdicts = {ok: 0, lossy: 0, rejected: 0};
  let dropped = 0;
  texts.forEach(({bytes, kind, mode, file}, id) => {
    const options = {bytes: mode};
    const check = vantrel.check(bytes, kind, options);
    const report = JSON.parse(check);
    textVerdicts[report.status] += 1;
    const parse = vantrel.parse(bytes, kind, options);
    const latin1 = {bytes: 'latin1'};
    assert.strictEqual(asRow(id, vantrel.check(bytes, kind, latin1), (v) => v.status === 'ok'),
        rows[`check text ${kind}`].get(id), `check text ${id} (batch)`);
    const parsed = vantrel.parse(bytes, kind, latin1);
    const row = JSON.parse(rows[`parse ${kind}`].get(id));
    if (parsed.startsWith('{"error":')) {
      assert.strictEqual(row.status, 'rejected', `parse ${id} (batch)`);
    } else {
      assert.deepStrictEqual(JSON.parse(parsed),
          {combination: row.combination, definitions: row.definitions}, `parse ${id} (batch)`);
    }

    if (id < sampleCount) {
      assert.strictEqual(check, fs.readFileSync(`${file}.check`, 'utf8'), `check ${file}`);
      const native = fs.readFileSync(`${file}.parse`, 'utf8');
      if (parse.startsWith('{"error":')) {
        assert.strictEqual(native, '', `parse ${file}: no records`);
        assert.strictEqual(JSON.parse(parse).error,
            message(fs.readFileSync(`${file}.err`), 'parse', file), `parse ${file}`);
      } else {
        assert.strictEqual(parse, native, `parse ${file}`);
      }
    }

    const explained = vantrel.explain(bytes, kind);
    assert.strictEqual(explained.status, report.status, `explain ${id}`);
    for (let p = 1; p < explained.parts.length; ++p) {
      assert.ok(explained.parts[p - 1].end <= explained.parts[p].start, `explain ${id}: overlap`);
    }
    if (report.status === 'lossy' && report.more_causes === undefined) {
      const named = report.causes.filter((c) => c.size > 0)
          .map((c) => [c.offset, c.offset + c.size]).sort((a, b) => a[0] - b[0]);
      const marked = explained.parts.filter((p) => p.role === 'dropped').map((p) => [p.start, p.end]);
      assert.deepStrictEqual(marked, named, `explain ${id}: dropped`);
      dropped += marked.length;
    }
  });
  const recordVerdicts = {ok: 0, lossy: 0, error: 0};
  records.forEach(({json, kind, mode, file}, id) => {
    const options = {bytes: mode};
    const check = errorOf(() => vantrel.checkRecords(json, kind, options));
    if (check.error !== undefined) recordVerdicts.error += 1;
    else recordVerdicts[JSON.parse(check.value).status] += 1;
    const latin1 = {bytes: 'latin1'};
    const batchCheck = errorOf(() => vantrel.checkRecords(json, kind, latin1));
    const row = rows[`check records ${kind}`].get(id);
    const formatRow = JSON.parse(rows[`format ${kind}`].get(id));
    const batchFormat = errorOf(() => vantrel.format(json, kind, latin1));
    if (batchCheck.error !== undefined) {
      assert.strictEqual(JSON.parse(row).status, 'error', `checkRecords ${id} (batch)`);
      assert.ok(batchFormat.error !== undefined && formatRow.status === undefined, `format ${id} (batch)`);
    } else {
      assert.strictEqual(asRow(id, batchCheck.value, (v) => v.status === 'ok'), row,
          `checkRecords ${id} (batch)`);
      assert.strictEqual(latin1Text(batchFormat.value), formatRow.text, `format ${id} (batch)`);
    }

    if (id >= sampleCount) return;
    const native = fs.readFileSync(`${file}.check`, 'utf8');
    if (check.error !== undefined) {
      assert.strictEqual(native, '', `checkRecords ${file}: no report`);
      assert.strictEqual(check.error,
          message(fs.readFileSync(`${file}.err`), 'check', file), `checkRecords ${file}`);
    } else {
      assert.strictEqual(check.value, native, `checkRecords ${file}`);
    }
    const format = errorOf(() => vantrel.format(json, kind, options));
    const written = fs.readFileSync(`${file}.format`);
    if (format.error !== undefined) {
      assert.strictEqual(written.length, 0, `format ${file}: nothing written`);
    } else {
      assert.ok(Buffer.from(format.value).equals(written), `format ${file}`);
    }
  });
  console.log(`web differential: ${textCount} texts ${JSON.stringify(textVerdicts)}, ` +
              `${recordCount} record sets ${JSON.stringify(recordVerdicts)}, ` +
              `${dropped} dropped spans, ${sampleCount} of each also one file at a time; ` +
              `native tool ${nativeSeconds.toFixed(1)} s`);
  for (const [what, counts, kinds] of [['texts', textVerdicts, ['ok', 'lossy', 'rejected']],
    ['record sets', recordVerdicts, ['ok', 'lossy']]]) {
    for (const kind of kinds) {
      assert.ok(counts[kind] >= minimumPerVerdict, `${what}: only ${counts[kind]} ${kind}`);
    }
  }
  fs.rmSync(workdir, {recursive: true, force: true});
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
