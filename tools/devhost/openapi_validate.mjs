// Validates an OpenAPI 3.1 document, as `devhost --openapi` prints it:
//
//     node tools/devhost/openapi_validate.mjs FILE
//
// The document must meet the OpenAPI schema and every $ref must resolve (swagger-parser), and
// it must hold what that parser checks for Swagger 2 only: unique operation ids, each
// operation's path parameters exactly the holes of its path and all required, no parameter
// listed twice. Prints a one-line summary and exits 0 when valid; prints why and exits 1 when
// not, 2 when it cannot run. Runs on Node 18 and later.
import { readFileSync } from "node:fs";

const file = process.argv[2];
if (!file) {
  console.error("usage: node openapi_validate.mjs FILE");
  process.exit(2);
}

let SwaggerParser;
try {
  SwaggerParser = (await import("@apidevtools/swagger-parser")).default;
} catch (error) {
  console.error(
    "openapi_validate: the npm package @apidevtools/swagger-parser is not installed " +
      `(${error.code ?? error.message}); run scripts/setup.sh`
  );
  process.exit(2);
}

let document;
try {
  document = JSON.parse(readFileSync(file, "utf8"));
} catch (error) {
  console.error(`openapi_validate: ${file} is not a JSON document: ${error.message}`);
  process.exit(1);
}

const kMethods = ["get", "put", "post", "delete", "options", "head", "patch", "trace"];

// What swagger-parser leaves unchecked in an OpenAPI 3 document; one text per fault.
function ConsistencyFaults(api) {
  const faults = [];
  const ids = new Map();
  const visit = (where, item, holes) => {
    for (const method of kMethods) {
      const operation = item[method];
      if (!operation) continue;
      const name = `${method.toUpperCase()} ${where}`;
      if (operation.operationId !== undefined) {
        if (ids.has(operation.operationId)) {
          faults.push(
            `${name}: operationId "${operation.operationId}" is also ${ids.get(operation.operationId)}'s`
          );
        } else {
          ids.set(operation.operationId, name);
        }
      }
      const parameters = [...(item.parameters ?? []), ...(operation.parameters ?? [])];
      const seen = new Set();
      const pathParameters = new Set();
      for (const parameter of parameters) {
        const key = `${parameter.in} ${parameter.name}`;
        if (seen.has(key)) faults.push(`${name}: parameter ${key} is listed twice`);
        seen.add(key);
        if (parameter.in !== "path") continue;
        pathParameters.add(parameter.name);
        if (parameter.required !== true) {
          faults.push(`${name}: path parameter "${parameter.name}" is not required`);
        }
        if (!holes.has(parameter.name)) {
          faults.push(`${name}: path parameter "${parameter.name}" is not in the path`);
        }
      }
      for (const hole of holes) {
        if (!pathParameters.has(hole)) faults.push(`${name}: no parameter for {${hole}}`);
      }
    }
  };
  for (const [path, item] of Object.entries(api.paths ?? {})) {
    const holes = new Set([...path.matchAll(/\{([^}]*)\}/g)].map((match) => match[1]));
    visit(path, item, holes);
  }
  for (const [name, item] of Object.entries(api.webhooks ?? {})) {
    visit(`webhook ${name}`, item, new Set());
  }
  return faults;
}

try {
  // validate() resolves the references in place: it gets a copy.
  await SwaggerParser.validate(structuredClone(document));
} catch (error) {
  console.error(`openapi_validate: ${file} is not a valid OpenAPI document:\n${error.message}`);
  process.exit(1);
}
const faults = ConsistencyFaults(document);
if (faults.length > 0) {
  console.error(`openapi_validate: ${file} is not consistent:\n  ${faults.join("\n  ")}`);
  process.exit(1);
}

const paths = Object.values(document.paths ?? {});
const operations = paths.reduce(
  (count, item) => count + kMethods.filter((method) => item[method]).length,
  0
);
console.log(
  `openapi_validate: ${file} is a valid OpenAPI ${document.openapi} document: ` +
    `${paths.length} paths, ${operations} operations, ` +
    `${Object.keys(document.components?.schemas ?? {}).length} schemas, ` +
    `${Object.keys(document.webhooks ?? {}).length} webhooks`
);
