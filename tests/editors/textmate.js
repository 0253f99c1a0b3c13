// Tokenizes kavo files with the grammar of editors/vscode through vscode-textmate and
// vscode-oniguruma, the engine of VS Code, and checks the scopes at the places listed in
// expected.txt; prints the failures and a count.   node textmate.js SOURCE_DIR NODE_MODULES
'use strict';
const fs = require('fs');
const [root, modules] = process.argv.slice(2);
const textmate = require(`${modules}/vscode-textmate`);
const oniguruma = require(`${modules}/vscode-oniguruma`);
const SCOPE = {
  Comment: 'comment.', String: 'string.quoted.', Definition: 'entity.name.function.',
  Builtin: 'support.function.builtin.', Conditional: 'keyword.control.conditional.',
  With: 'keyword.control.with.', TopLevel: 'keyword.other.toplevel.', Number: 'constant.numeric.',
};
const read = (file) => fs.readFileSync(`${root}/${file}`, 'latin1').split('\n');

// The scopes of every character of a file, line by line, the state carried across lines.
function scopesOf(grammar, file) {
  let state = textmate.INITIAL;
  return read(file).map((line) => {
    const { tokens, ruleStack } = grammar.tokenizeLine(line, state);
    state = ruleStack;
    return tokens.flatMap((t) => Array(t.endIndex - t.startIndex).fill(t.scopes));
  });
}

const isKind = (scopes, kind) => kind === 'plain'
  ? scopes.every((s) => s === 'source.kavo' || s.startsWith('meta.'))
  : scopes.some((s) => s.startsWith(SCOPE[kind]));

async function main() {
  const wasm = fs.readFileSync(`${modules}/vscode-oniguruma/release/onig.wasm`);
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.length));
  const grammarFile = `${root}/editors/vscode/syntaxes/kavo.tmLanguage.json`;
  const grammar = await new textmate.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (text) => new oniguruma.OnigString(text),
    }),
    loadGrammar: async () => textmate.parseRawGrammar(fs.readFileSync(grammarFile, 'utf8'), grammarFile),
  }).loadGrammar('source.kavo');
  const files = new Map();
  const failures = [];
  let checks = 0;
  for (const row of read('tests/editors/expected.txt')) {
    const m = /^(\S+) (\d+) (\S+) (.+)$/.exec(row);
    if (!m || row.startsWith('#')) continue;
    const [, file, lnum, kind, text] = m;
    checks++;
    if (!files.has(file)) files.set(file, { lines: read(file), scopes: scopesOf(grammar, file) });
    const parts = text.split('`');
    const line = files.get(file).lines[lnum - 1] || '';
    const at = line.indexOf(parts.join(''));
    const [start, target] = parts.length === 3 ? [at + parts[0].length, parts[1]] : [at, text];
    for (let i = start; i < start + target.length; i++) {
      const scopes = at < 0 ? ['not found'] : files.get(file).scopes[lnum - 1][i];
      if (!isKind(scopes, kind)) {
        failures.push(`${file}:${lnum}: '${target}' is not ${kind}: ${scopes.join(' ')}`);
        break;
      }
    }
  }
  console.log([...failures, `${checks} checks, ${failures.length} failed`].join('\n'));
  process.exit(failures.length || !checks ? 1 : 0);
}
main().catch((e) => { console.log(e.stack); process.exit(1); });
