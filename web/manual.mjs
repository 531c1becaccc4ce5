// Makes the page's manual.html from the language manual (docs/language.md)
// with marked, from the build's npm packages. Headings get the anchors that
// the manual's own links use (lower case, words joined by '-').
//
// usage: node manual.mjs NODE_MODULES_PARENT LANGUAGE.md OUTPUT.html
import { readFileSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { join } from "node:path";
import { pathToFileURL } from "node:url";

const [modules, source, output] = process.argv.slice(2);
const require = createRequire(join(modules, "package.json"));
const { marked } = await import(pathToFileURL(require.resolve("marked")));

const slug = (text) =>
  text
    .toLowerCase()
    .replace(/[^\p{L}\p{N} _-]/gu, "")
    .replace(/ /g, "-");

marked.use({
  renderer: {
    heading({ tokens, depth, text }) {
      return `<h${depth} id="${slug(text)}">${this.parser.parseInline(tokens)}</h${depth}>\n`;
    },
  },
});

const body = marked.parse(readFileSync(source, "utf8"));
writeFileSync(
  output,
  `<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>The vorla language</title>
<style>
body { max-width: 50em; margin: 1em auto; padding: 0 1em; font-family: system-ui, sans-serif; line-height: 1.5; }
pre, code { font-family: ui-monospace, "DejaVu Sans Mono", monospace; }
pre { background: #f4f4f2; padding: 0.6em; overflow-x: auto; }
table { border-collapse: collapse; } td, th { border: 1px solid #ccc; padding: 0.2em 0.5em; vertical-align: top; }
</style>
</head>
<body>
<p><a href="index.html">Back to the page</a></p>
${body}</body>
</html>
`,
);
