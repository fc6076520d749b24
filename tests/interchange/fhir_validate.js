// Validates FHIR R4 JSON resources with the npm package "fhir" (FHIR.js, the R4 structure
// definitions and value sets it ships), an implementation independent of ours.
//   node fhir_validate.js MODULE_DIR FILE...
// Prints one JSON line per file: {"file", "valid", "errors"}. The errors are the validator's, and
// its warnings of an unexpected property: it only warns of them, but an element R4 does not
// define makes the resource invalid. A resource the validator cannot even walk is invalid too.
// Exit code 0 when every file was read (valid or not), 2 when the validator cannot be loaded.
const path = require('path');
const fs = require('fs');
let Fhir;
try {
    ({Fhir} = require(path.join(process.argv[2], 'node_modules', 'fhir')));
} catch (e) {
    console.error('cannot load the fhir package: ' + e.message);
    process.exit(2);
}
const fhir = new Fhir();
for (const file of process.argv.slice(3)) {
    let result;
    try {
        result = fhir.validate(JSON.parse(fs.readFileSync(file, 'utf8')), {});
    } catch (e) {
        console.log(
            JSON.stringify({file, valid : false, errors : [ 'not walkable: ' + e.message ]}));
        continue;
    }
    const errors =
        (result.messages || [])
            .filter((m) => m.severity === 'error' ||
                           (m.severity === 'warning' && /Unexpected property/.test(m.message)))
            .map((m) => m.location + ': ' + m.message);
    console.log(JSON.stringify({file, valid : result.valid && errors.length === 0, errors}));
}
