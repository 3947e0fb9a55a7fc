#!/usr/bin/env bash
# Installs the packed npm package into a temporary prefix, as a user does with
# npm install -g, and checks its three commands against the native build with
# same_outputs.sh, and its JavaScript API against the native bytes and --json.
# Usage: npm_test.sh TARBALL NATIVE_BIN [REPOSITORY_URL]
#   (exits 77, skipped, without a native build); REPOSITORY_URL is the one the build was
#   configured with (PALETTE_REPOSITORY_URL), empty for none.
set -euo pipefail
tarball=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
native=$2
repository=${3:-}
root=$(cd "$(dirname "$0")/.." && pwd)
if [[ ! -x $native/palette-translate ]]; then
  echo "skipped: no native build in $native to compare with (cmake -S . -B build/plain)"
  exit 77
fi
native=$(cd "$native" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
npm install -g --prefix "$prefix" --no-audit --no-fund --silent "$tarball"
for command in palette-translate palette-inspect palette-batch; do
  [[ -x $prefix/bin/$command ]] || { echo "no $command on the path after install"; exit 1; }
done
"$root/tests/same_outputs.sh" "$native" "$prefix/bin"
# Each command names its kernels; where the engine lacks WebAssembly SIMD the commands load
# their other build, which gives the same bytes.
[[ $("$prefix/bin/palette-inspect" --version) == *"pixel kernels: simd128" ]] ||
  { echo "the Node commands do not run their SIMD kernels"; exit 1; }
without_simd="--require $root/tests/web/without_wasm_simd.js"
[[ $(NODE_OPTIONS=$without_simd "$prefix/bin/palette-inspect" --version) == *"pixel kernels: portable" ]] ||
  { echo "without WebAssembly SIMD the Node commands do not take their portable build"; exit 1; }
NODE_OPTIONS=$without_simd "$root/tests/same_outputs.sh" "$native" "$prefix/bin"

# What ships: the commands, the API in both module forms with its declarations, the page,
# the README and its pages, the licence; nothing else.
unexpected=$(tar -tzf "$tarball" | sed 's|^package/||' | grep -vxE \
  'package\.json|README\.md|LICENSE|palette-web\.html|index\.(js|mjs|d\.ts)|(command_memory|simd_choice)\.js|bin/palette-(translate|inspect|batch)\.js|lib/(portable/)?palette-(translate|inspect|batch)\.js|lib/(portable/)?palette-(translate|inspect)-module\.js|docs/[a-z-]+\.(md|png)' || true)
[[ -z $unexpected ]] || { echo "the package holds more than it should: $unexpected"; exit 1; }
[[ $(tar -tzf "$tarball" | grep -cE 'index\.(js|mjs|d\.ts)$') == 3 ]] ||
  { echo "the package lacks the API's files"; exit 1; }
# Every page and picture the README and its pages point to ships with them.
shipped=$(tar -tzf "$tarball" | sed 's|^package/||')
for link in $(cd "$root" && { grep -oE '(\]\(|src=")docs/[a-z-]+\.(md|png)' README.md |
                              sed -E 's/^(\]\(|src=")//'
                              grep -oE '(\]\(|src=")[a-z-]+\.(md|png)' docs/*.md |
                                sed -E 's/^[^:]*:(\]\(|src=")/docs\//'; } | sort -u); do
  grep -qx "$link" <<<"$shipped" || { echo "the package lacks $link, which its README links to"; exit 1; }
done
# The repository the build was given, and none where it was given none.
REPOSITORY=$repository node -e '
const json = JSON.parse(require("child_process").execFileSync("tar", ["-xzOf", process.argv[1], "package/package.json"]));
const wanted = process.env.REPOSITORY;
const found = json.repository ? json.repository.url : "";
if (found !== wanted) { console.log("package.json names the repository " + JSON.stringify(found)); process.exit(1); }
if (!json.engines || !json.engines.node || !json.keywords || !json.keywords.length) process.exit(1);
' "$tarball" || { echo "package.json lacks its repository, engines or keywords as configured"; exit 1; }

# As a project takes it: npx runs its commands, import and require give the same API, and
# a TypeScript file type-checks against the declarations (tsc: Debian's node-typescript).
project="$prefix/project"
mkdir "$project"
(cd "$project" && npm init -y >/dev/null && npm install --no-audit --no-fund --silent "$tarball")
(cd "$project" && npx --no-install palette-translate --help) | grep -q "usage: palette-translate" ||
  { echo "npx palette-translate --help did not answer"; exit 1; }
(cd "$project" && node --input-type=module -e '
import {translate, inspect} from "quorl-palette-translation";
import {createRequire} from "module";
const api = createRequire(process.cwd() + "/").call(null, "quorl-palette-translation");
if (translate !== api.translate || inspect !== api.inspect) process.exit(1);
') || { echo "import and require give different APIs"; exit 1; }
if command -v tsc >/dev/null; then
  cat >"$project/check.ts" <<'TS'
import {translate, inspect, TranslateStatus, InspectResult, InspectedFile} from 'quorl-palette-translation';

export async function check(bytes: Uint8Array): Promise<number> {
  const done = await translate(bytes, {red: 40, percent: 30, outputFormat: 'png'});
  const status: TranslateStatus = done.status;
  const output: Uint8Array | null = done.output;
  const facts: InspectResult = await inspect(bytes, {compactPalette: true});
  const file: InspectedFile = facts.files[0];
  const colours: number | null | undefined = file.colours;
  // @ts-expect-error: a status is one of four
  const wrong: TranslateStatus = 254;
  // @ts-expect-error: inspect's result is declared, not any
  const missing: string = file.no_such_member;
  return status + (output ? output.length : 0) + (colours || 0) + wrong + missing.length;
}
TS
  (cd "$project" && tsc --noEmit --strict --module node16 --moduleResolution node16 --target es2020 check.ts) ||
    { echo "check.ts does not type-check against index.d.ts"; exit 1; }
  echo "the declarations type-check"
else
  echo "tsc not installed (apt-get install -y node-typescript): the declarations are not checked"
fi

# The API: a bitmap's bytes and a refusal as the native command gives them, and inspect's
# object as --json prints it.
"$native/palette-translate" "$root/docs/sample.bmp" "$prefix/native.bmp" 40 40 40 30 >/dev/null
"$native/palette-translate" "$root/docs/sample.bmp" "$prefix/native.png" 40 40 40 30 >/dev/null
"$native/palette-inspect" --json "$root/docs/sample.bmp" >"$prefix/native.json" || true
rgba="$root/tests/fixtures/imagemagick-rgba.png"
"$native/palette-translate" "$rgba" "$prefix/native-rgba.bmp" 40 40 40 30 >/dev/null
"$native/palette-inspect" --json "$rgba" >"$prefix/native-rgba.json" || true
PACKAGE="$prefix/lib/node_modules/quorl-palette-translation" ROOT="$root" PREFIX="$prefix" node \
  --require "$root/tests/web/without_wasm_simd.js" -e '
const {translate} = require(process.env.PACKAGE);
const fs = require("fs");
translate(fs.readFileSync(process.env.ROOT + "/docs/sample.bmp"), {outputFormat: "png"}).then((done) => {
  if (!Buffer.from(done.output).equals(fs.readFileSync(process.env.PREFIX + "/native.png"))) process.exit(1);
});
' || { echo "the API without WebAssembly SIMD does not give the native bytes"; exit 1; }
PACKAGE="$prefix/lib/node_modules/quorl-palette-translation" ROOT="$root" PREFIX="$prefix" node -e '
const {translate, inspect} = require(process.env.PACKAGE);
const fs = require("fs");
const assert = require("assert");
(async () => {
  const sample = fs.readFileSync(process.env.ROOT + "/docs/sample.bmp");
  const done = await translate(sample, {red: 40, green: 40, blue: 40, percent: 30});
  assert.strictEqual(done.status, 0);
  assert.ok(Buffer.from(done.output).equals(fs.readFileSync(process.env.PREFIX + "/native.bmp")));
  const refused = await translate(Buffer.from("BM12"));
  assert.strictEqual(refused.status, -2);
  assert.strictEqual(refused.output, null);
  assert.match(refused.text, /Not a bitmap: the file is shorter than its headers/);
  const png = await translate(sample, {outputFormat: "png"});
  // Deflated by the same zlib as natively: the same bytes.
  assert.ok(Buffer.from(png.output).equals(fs.readFileSync(process.env.PREFIX + "/native.png")));
  const facts = await inspect(sample);
  const native = JSON.parse(fs.readFileSync(process.env.PREFIX + "/native.json", "utf8"));
  delete facts.files[0].path;
  delete native.files[0].path;
  assert.deepStrictEqual(facts, native);
  // A true-colour picture takes the same road.
  const rgba = fs.readFileSync(process.env.ROOT + "/tests/fixtures/imagemagick-rgba.png");
  const fromRgba = await translate(rgba, {red: 40, green: 40, blue: 40, percent: 30, outputFormat: "bmp"});
  assert.strictEqual(fromRgba.status, 0);
  assert.ok(Buffer.from(fromRgba.output).equals(fs.readFileSync(process.env.PREFIX + "/native-rgba.bmp")));
  const rgbaFacts = await inspect(rgba);
  const rgbaNative = JSON.parse(fs.readFileSync(process.env.PREFIX + "/native-rgba.json", "utf8"));
  delete rgbaFacts.files[0].path;
  delete rgbaNative.files[0].path;
  assert.deepStrictEqual(rgbaFacts, rgbaNative);
  assert.strictEqual(rgbaFacts.files[0].colours, 32);
  // A command that throws, before or after it wrote its output, leaves no file of its run
  // in the memory of the module.
  const {commandInMemory} = require(process.env.PACKAGE + "/command_memory.js");
  const createTranslate = require(process.env.PACKAGE + "/lib/palette-translate-module.js");
  for (const after of [false, true]) {
    let made = null;
    const run = commandInMemory(async (settings) => {
      made = await createTranslate(settings);
      const real = made.callMain.bind(made);
      made.callMain = (args) => {
        if (after) real(args);
        throw new Error("injected");
      };
      return made;
    });
    await assert.rejects(run(["input", "output.bmp", "0", "0", "0", "0"], {input: sample}, ["output.bmp"]),
                         /injected/);
    assert.deepStrictEqual(made.FS.readdir("/work").filter((name) => name[0] !== "."), []);
  }
  // A long-lived process runs the commands as often as it likes: each run takes its
  // arguments off the stack of the module again (some 7,000 runs once overflowed it).
  const started = Date.now();
  for (let i = 0; i < 12000; ++i) {
    const again = await translate(sample, {compactPalette: true, outputFormat: "png"});
    assert.strictEqual(again.status, 0, "run " + i);
  }
  console.log("12,000 runs in one process: " + (Date.now() - started) + " ms");
  console.log("the API gives the native bytes, refusals and --json object, and cleans up after a throw");
})().catch((error) => { console.log(error); process.exit(1); });
'

# The largest input the size limit allows (a sparse file): the Node commands refuse it for
# want of memory and end, where a read past 2^31 once never returned.
mkdir "$prefix/large"
cp "$root/docs/sample.bmp" "$prefix/large/big.bmp"
truncate -s 2147482623 "$prefix/large/big.bmp"
status=0
out=$(timeout 120 "$prefix/bin/palette-batch" "$prefix/large" "$prefix/large-out" 40 40 40 30 2>&1) ||
  status=$?
[[ $status == 1 && $out == *"Not enough memory to translate the picture."* ]] ||
  { echo "palette-batch on the largest input: status $status: $out"; exit 1; }
status=0
out=$(timeout 120 "$prefix/bin/palette-inspect" "$prefix/large/big.bmp" 2>&1) || status=$?
[[ $status == 255 ]] || { echo "palette-inspect on the largest input: status $status: $out"; exit 1; }
echo "the largest input ends each command with the out-of-memory refusal"
