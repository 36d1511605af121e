// The module loads in Node and agrees with the examples the tool's own
// tests hold: each example text parses to its records, the records format
// to the text, the text checks ok, and explain finds its name.
// Usage: node smoke_test.js build/web/web/vantrel.js examples/
'use strict';
const assert = require('assert');
const fs = require('fs');
const path = require('path');

const MARKS = ['--#--', '--{--', '--}--', '--;--', '==', '--,--'];
const JOINERS = ['@@AND@@', '@@OR@@'];

const [modulePath, examples] = process.argv.slice(2);
const createVantrel = require(path.resolve(modulePath));

createVantrel().then((vantrel) => {
  const names = fs.readdirSync(examples).filter((n) => n.endsWith('.txt') &&
    fs.existsSync(path.join(examples, n.replace(/\.txt$/, '.json'))));
  assert.ok(names.length >= 3, `examples in ${examples}`);
  for (const name of names) {
    const text = fs.readFileSync(path.join(examples, name));
    const json = fs.readFileSync(path.join(examples, name.replace(/\.txt$/, '.json')), 'utf8');
    assert.strictEqual(vantrel.parse(text, 'func'), json, `parse ${name}`);
    const written = Buffer.from(vantrel.format(json, 'filter')).toString('latin1');
    assert.strictEqual(written, text.toString('latin1').replace(/\r?\n$/, ''), `format ${name}`);
    assert.match(vantrel.check(text.toString('utf8')), /^\{\n {2}"status": "ok",/, `check ${name}`);
    const explained = vantrel.explain(text);
    assert.strictEqual(explained.status, 'ok', `explain ${name}`);
    // Each part's bytes are what its role says: the marks and joiners as
    // spelt, and the fields, in order, those of the records parse reads.
    const bytesOf = (p) => text.subarray(p.start, p.end).toString('utf8');
    const roles = (role) => explained.parts.filter((p) => p.role === role).map(bytesOf);
    const records = JSON.parse(json).definitions;
    for (const mark of roles('mark')) assert.ok(MARKS.includes(mark), `${name}: mark ${mark}`);
    for (const joiner of roles('joiner')) assert.ok(JOINERS.includes(joiner), `${name}: ${joiner}`);
    assert.deepStrictEqual(roles('name'), records.map((d) => d.name), `${name}: names`);
    assert.deepStrictEqual(roles('detail'), records.map((d) => d.detail), `${name}: details`);
    assert.deepStrictEqual(roles('key'), records.flatMap((d) => d.params.map((p) => p.key)), `${name}: keys`);
    assert.deepStrictEqual(roles('value'), records.flatMap((d) => d.params.flatMap((p) => p.values)),
        `${name}: values`);
    assert.deepStrictEqual(Buffer.from(explained.written), text.subarray(0, written.length), `${name}: written`);
  }
  // A rejected item and dropped bytes are marked where check names them.
  const rejected = '--#--n--#----{--d--}----{--k==v--;--bad--}--';
  const report = JSON.parse(vantrel.check(rejected));
  const part = vantrel.explain(rejected).parts.find((p) => p.role === 'rejected');
  assert.strictEqual(part.start, report.item_offset);
  assert.strictEqual(rejected.slice(part.start, part.end), 'bad');
  const lossy = Buffer.from('--#--n\xe9--#----{--d--}----}--tail', 'latin1');
  const causes = JSON.parse(vantrel.check(lossy, 'func', {bytes: 'latin1'})).causes;
  const dropped = vantrel.explain(lossy).parts.filter((p) => p.role === 'dropped');
  assert.deepStrictEqual(dropped.map((p) => [p.start, p.end]),
      causes.map((c) => [c.offset, c.offset + c.size]));
  assert.match(vantrel.parse(lossy), /^\{"error":".*--bytes latin1/);
  assert.match(vantrel.parse(lossy, 'func', {bytes: 'latin1'}), /"n\\u00e9"/);

  // Errors come back as the tool words them.
  assert.throws(() => vantrel.format('{"combination": 0}', 'func'), /definitions/);
  assert.throws(() => vantrel.check(42), TypeError);
  console.log(`web smoke: ${names.length} examples`);
}).catch((error) => {
  console.error(error);
  process.exit(1);
});
