// Runs Readability over pages inside one node process and times the extraction loop there, so that
// process start-up and module loading stay out of the figures.
//
//   node readability-runner.mjs --modules DIR [--repeat N] PAGE...
//
// DIR is the folder npm installed package.json into. Each page is read once; then, N times in a row,
// its bytes are decoded, parsed into a DOM (linkedom) and given to Readability: the work the reader's
// `article-extract --repeat N` times for a page, which also starts from the page's bytes. One
// tab-separated line per page on standard output:
//   page  bytes  charset  ms_each  title_chars  text_chars  status
// status is "ok", "none" (Readability found no article) or "error: ..."; the last line is
//   total  BYTES  -  LOOP_MS  -  -  PAGES
// with LOOP_MS the time of all the timed loops added up.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';

function usage(message) {
  process.stderr.write(`readability-runner: ${message}\n` +
    'usage: node readability-runner.mjs --modules DIR [--repeat N] PAGE...\n');
  process.exit(2);
}

let modules = null;
let repeat = 1;
const pages = [];
const args = process.argv.slice(2);
for (let i = 0; i < args.length; ++i) {
  if (args[i] === '--modules') modules = args[++i];
  else if (args[i] === '--repeat') repeat = Number(args[++i]);
  else if (args[i].startsWith('--')) usage(`unknown option ${args[i]}`);
  else pages.push(args[i]);
}
if (!modules) usage('--modules is required');
if (!Number.isInteger(repeat) || repeat < 1) usage('--repeat wants a positive whole number');
if (pages.length === 0) usage('no page given');

const require = createRequire(path.join(path.resolve(modules), 'package.json'));
const { Readability } = require('@mozilla/readability');
const { parseHTML } = require('linkedom');

// The names under which pages declare the GBK family.
const GBK_NAMES = /^(gb2312|gbk|gb18030|x-gbk|cp936|windows-936|euc-cn|csgb2312)$/i;

// What the page declares in its first <meta> that names a charset (http-equiv or HTML5 form), or "".
function declaredCharset(bytes) {
  const head = bytes.subarray(0, Math.min(bytes.length, 65536)).toString('latin1');
  const found = /<meta\b[^>]*?\bcharset\s*=\s*["']?\s*([-\w]+)/i.exec(head);
  return found ? found[1] : '';
}

function isUtf8(bytes) {
  try {
    new TextDecoder('utf-8', { fatal: true }).decode(bytes);
    return true;
  } catch {
    return false;
  }
}

// GBK when the page says so or when its bytes are not UTF-8; UTF-8 otherwise.
function charsetOf(bytes) {
  return GBK_NAMES.test(declaredCharset(bytes)) || !isUtf8(bytes) ? 'gbk' : 'utf-8';
}

function extract(bytes, charset) {
  const html = new TextDecoder(charset).decode(bytes);
  const { document } = parseHTML(html);
  return new Readability(document).parse();
}

let totalBytes = 0;
let totalMs = 0;
for (const page of pages) {
  const bytes = readFileSync(page);
  const charset = charsetOf(bytes);
  let article = null;
  let status = 'ok';
  let rounds = 0;
  const started = process.hrtime.bigint();
  try {
    for (; rounds < repeat; ++rounds) article = extract(bytes, charset);
    if (!article) status = 'none';
  } catch (error) {
    status = `error: ${String(error && error.message ? error.message : error).split('\n')[0]}`;
    ++rounds;  // the round that failed took its time too
  }
  const ms = Number(process.hrtime.bigint() - started) / 1e6;
  totalBytes += bytes.length;
  totalMs += ms;
  const title = article && article.title ? article.title.length : 0;
  const text = article && article.textContent ? article.textContent.length : 0;
  process.stdout.write([page, bytes.length, charset, (ms / rounds).toFixed(3), title, text, status].join('\t') + '\n');
}
process.stdout.write(['total', totalBytes, '-', totalMs.toFixed(3), '-', '-', pages.length].join('\t') + '\n');
