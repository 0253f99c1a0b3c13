// Tokenizes kavo files with the grammar of editors/vscode through vscode-textmate and
// vscode-oniguruma, the engine VS Code itself uses, and checks the scopes at the places listed
// in expected.txt.   node textmate.js SOURCE_DIR NODE_MODULES_DIR
'use strict';
const fs = require('fs');
const path = require('path');
const [root, modules] = process.argv.slice(2);
const textmate = require(path.join(modules, 'vscode-textmate'));
const oniguruma = require(path.join(modules, 'vscode-oniguruma'));

const SCOPE = {
  Comment: 'comment.', String: 'string.quoted.', Definition: 'entity.name.function.kavo',
  Builtin: 'support.function.builtin.kavo', Conditional: 'keyword.control.conditional.kavo',
  With: 'keyword.control.with.kavo', TopLevel: 'keyword.other.toplevel.kavo',
  Number: 'constant.numeric.kavo',
};

// The scopes of every character of a file, line by line, the state carried across lines.
function scopesOf(grammar, file) {
  let state = textmate.INITIAL;
  return fs.readFileSync(file, 'latin1').split('\n').map((line) => {
    const result = grammar.tokenizeLine(line, state);
    state = result.ruleStack;
    const chars = [];
    for (const token of result.tokens)
      for (let i = token.startIndex; i < token.endIndex; i++) chars[i] = token.scopes;
    return chars;
  });
}

function matches(scopes, kind) {
  if (kind === 'plain') return scopes.every((s) => s === 'source.kavo' || s.startsWith('meta.'));
  return scopes.some((s) => s.startsWith(SCOPE[kind]));
}

async function main() {
  const wasm = fs.readFileSync(path.join(modules, 'vscode-oniguruma/release/onig.wasm'));
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.length));
  const grammarFile = path.join(root, 'editors/vscode/syntaxes/kavo.tmLanguage.json');
  const registry = new textmate.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (text) => new oniguruma.OnigString(text),
    }),
    loadGrammar: async () => textmate.parseRawGrammar(fs.readFileSync(grammarFile, 'utf8'), grammarFile),
  });
  const grammar = await registry.loadGrammar('source.kavo');
  const files = new Map();
  let checks = 0;
  const failures = [];
  for (const row of fs.readFileSync(path.join(root, 'tests/editors/expected.txt'), 'latin1').split('\n')) {
    const m = /^(\S+) (\d+) (\S+) (.+)$/.exec(row);
    if (!m || row.startsWith('#')) continue;
    const [, file, lnum, kind, text] = m;
    checks++;
    if (!files.has(file)) files.set(file, scopesOf(grammar, path.join(root, file)));
    const parts = text.split('`');
    const line = fs.readFileSync(path.join(root, file), 'latin1').split('\n')[lnum - 1] || '';
    const at = line.indexOf(parts.join(''));
    if (at < 0) { failures.push(`${file}:${lnum}: no '${parts.join('')}' on this line`); continue; }
    const [start, target] = parts.length === 3 ? [at + parts[0].length, parts[1]] : [at, text];
    for (let i = start; i < start + target.length; i++) {
      const scopes = files.get(file)[lnum - 1][i] || [];
      if (!matches(scopes, kind)) {
        failures.push(`${file}:${lnum}: '${target}' is not ${kind} at '${line[i]}': ${scopes.join(' ')}`);
        break;
      }
    }
  }
  for (const f of failures) console.log(f);
  console.log(`${checks} checks, ${failures.length} failed`);
  process.exit(failures.length || checks === 0 ? 1 : 0);
}
main().catch((e) => { console.log(e.stack); process.exit(1); });
