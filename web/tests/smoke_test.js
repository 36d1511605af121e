// The module loads in Node and agrees with the examples the tool's own
// tests hold: each example text parses to its records, the records format
// to the text, the text checks ok, and explain finds its name.
// Usage: node smoke_test.js build/web/web/vantrel.js examples/
'use strict';
const assert = require('assert');
const fs = require('fs');
const path = require('path');

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
    assert.ok(explained.parts.some((p) => p.role === 'name'), `explain ${name}: a name`);
  }
  // Errors come back as the tool words them.
  assert.throws(() => vantrel.format('{"combination": 0}', 'func'), /definitions/);
  assert.throws(() => vantrel.check(42), TypeError);
  console.log(`web smoke: ${names.length} examples`);
}).catch((error) => {
  console.error(error);
  process.exit(1);
});
