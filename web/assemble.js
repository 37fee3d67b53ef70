// Builds the page as one file: the template with each script put inline where
// it says <!-- scripts -->, so that it opens from disk as well as from a
// server (a page opened from disk may load no module or wasm file).
// Usage: node assemble.js TEMPLATE OUT SCRIPT...
'use strict';
const fs = require('fs');
const [template, out, ...scripts] = process.argv.slice(2);
const inline = scripts.map((path) => {
  const code = fs.readFileSync(path, 'utf8');
  if (/<\/script/i.test(code)) throw new Error(`${path} holds </script and cannot be put inline`);
  return `<script>\n${code}\n</script>`;
});
const page = fs.readFileSync(template, 'utf8').replace('<!-- scripts -->', () => inline.join('\n'));
fs.writeFileSync(out, page);
