// The interpreter's environment (VORLA_DECODE, NO_COLOR): under Node.js the
// process's own, as a native program sees it; in the page, what the page
// gives as Module.environment. Emscripten gives a program one of its own
// otherwise.
Module["preRun"] = [function () {
  Object.assign(ENV, Module["environment"] || (typeof process == "object" ? process.env : {}));
}];
