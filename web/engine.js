// Kaltra's engine in the page: the WebAssembly module (kaltra.js, made by emscripten from the
// core, the C interface and the chart code) behind a small JavaScript face.
//
// Every number comes from a worksheet function called through the module (web/kaltra_web.h);
// nothing here computes a property. A call answers an Answer: its value and its source, "#N"
// for the N-th worksheet call the page made. The page's own arithmetic on answers (density as
// 1/v, the cycle's differences) goes through the functions at the end of this file, which
// write the arithmetic into the source, so that a test can redo it from the kaltra host's
// answers.
//
// Used by the page (a plain script: it works from a static server and from a file) and by the
// tests under Node.js (module.exports).
(function (root) {
  'use strict';

  // The add-in's answer when a fluid cannot answer.
  const FAILURE_MARK = -999;

  // KaltUnits rows: the label of each quantity in a unit system, row 10 the system's name.
  const LABEL = {
    pressure: 0, temperature: 1, volume: 2, enthalpy: 3, entropy: 4, specificHeat: 5,
    viscosity: 6, kinematicViscosity: 7, conductivity: 8, surfaceTension: 9, systemName: 10,
  };
  const UNIT_SYSTEMS = 8;

  class Engine {
    constructor(module) {
      this.module = module;
      this.fluidTexts = new Map();  // fluid text -> its UTF-8 copy in the module's memory
      this.functions = new Map();   // name -> {position, name, help, arguments: [{kind, name, help}]}
      const count = module._kaltra_function_count();
      for (let position = 0; position < count; ++position) {
        const name = module.UTF8ToString(module._kaltra_function_name(position));
        const args = [];
        for (let a = 0; a < module._kaltra_argument_count(position); ++a) {
          args.push({
            kind: String.fromCharCode(module._kaltra_argument_kind(position, a)),
            name: module.UTF8ToString(module._kaltra_argument_name(position, a)),
            help: module.UTF8ToString(module._kaltra_argument_help(position, a)),
          });
        }
        const help = module.UTF8ToString(module._kaltra_function_help(position));
        this.functions.set(name, { position, name, help, arguments: args });
      }
    }

    // The fluid text in the module's memory, written once per text.
    fluidText(fluid) {
      let pointer = this.fluidTexts.get(fluid);
      if (pointer === undefined) {
        const size = this.module.lengthBytesUTF8(fluid) + 1;
        pointer = this.module._malloc(size);
        this.module.stringToUTF8(fluid, pointer, size);
        this.fluidTexts.set(fluid, pointer);
      }
      return pointer;
    }

    functionNamed(name) {
      const f = this.functions.get(name);
      if (!f) throw new Error(`no worksheet function ${name}`);
      return f;
    }

    // name(fluid, x, y, units): the answer of a number function, the unit code last; for a
    // function without a fluid pass null as the fluid.
    call(name, fluid, ...values) {
      const f = this.functionNamed(name);
      const [x = 0, y = 0, z = 0] = values;
      const value = this.module._kaltra_web_number(f.position, fluid === null ? 0 : this.fluidText(fluid), x, y, z);
      return { value, source: `#${this.module._kaltra_web_call_count() - 1}`, call: { name, fluid, values } };
    }

    // A text function's answer (KaltUnits, KaltName, KaltLongName, KaltForm); "" for an error.
    text(name, x, y = 0) {
      return this.module.UTF8ToString(this.module._kaltra_web_text(this.functionNamed(name).position, x, y));
    }

    // Number of fluids in the catalogue.
    fluidCount() {
      return this.module._kaltra_fluid_count();
    }

    // The catalogue: index, designation, formula, long name of every fluid.
    fluids() {
      const list = [];
      for (let index = 1; index <= this.fluidCount(); ++index) {
        list.push({
          index,
          name: this.text('KaltName', index),
          formula: this.text('KaltForm', index),
          longName: this.text('KaltLongName', index),
        });
      }
      return list;
    }

    // The labels of a unit system (LABEL's keys), its name among them.
    units(code) {
      const labels = {};
      for (const [quantity, row] of Object.entries(LABEL)) labels[quantity] = this.text('KaltUnits', code, row);
      return labels;
    }

    // The kaltra host's log(p)-h chart of the fluid: {svg} or {problem}.
    chart(fluid, units) {
      const m = this.module;
      if (m._kaltra_web_chart_trace(this.fluidText(fluid), units)) return { svg: m.UTF8ToString(m._kaltra_web_chart_svg()) };
      return { problem: m.UTF8ToString(m._kaltra_web_chart_problem()) };
    }

    // Where an enthalpy and a pressure lie on the chart last drawn, in its pixels.
    chartPoint(h, p) {
      return { x: this.module._kaltra_web_chart_x(h), y: this.module._kaltra_web_chart_y(p) };
    }

    chartLayout() {
      const item = (i) => this.module._kaltra_web_chart_layout(i);
      return { width: item(0), height: item(1), left: item(2), top: item(3), plotWidth: item(4), plotHeight: item(5) };
    }

    // Recording of the calls as kaltra host formulas (web/kaltra_web.h).
    record(on) {
      this.module._kaltra_web_record(on ? 1 : 0);
    }

    takeRecord() {
      return this.module.UTF8ToString(this.module._kaltra_web_record_take());
    }

    callCount() {
      return this.module._kaltra_web_call_count();
    }

    // x as C's printf writes it with "%.{digits}g", by the module's own C library: with 17
    // digits exactly as the kaltra host prints an answer.
    format(x, digits) {
      return this.module.UTF8ToString(this.module._kaltra_web_format(x, digits));
    }
  }

  // ---- The page's own arithmetic on answers -------------------------------------------------
  // Each writes what it did into the source, in parentheses, so the order of the operations
  // is the one a reader (or a test) sees.

  // A number the user typed: its source is the number itself.
  function given(x) {
    return { value: x, source: String(x) };
  }
  function plus(a, b) {
    return { value: a.value + b.value, source: `(${a.source}+${b.source})` };
  }
  function minus(a, b) {
    return { value: a.value - b.value, source: `(${a.source}-${b.source})` };
  }
  function times(a, b) {
    return { value: a.value * b.value, source: `(${a.source}*${b.source})` };
  }
  function over(a, b) {
    return { value: a.value / b.value, source: `(${a.source}/${b.source})` };
  }

  // The worksheet formula of an answer's call, as a cell or the kaltra host would take it; for
  // the page's arithmetic, that arithmetic.
  function formulaOf(answer) {
    if (!answer.call) return `the page's arithmetic: ${answer.source}`;
    const { name, fluid, values } = answer.call;
    return `${name}(${(fluid === null ? [] : [`"${fluid}"`]).concat(values.map(String)).join(', ')})`;
  }

  // Loads the module (createKaltra, from kaltra.js) and answers the Engine over it.
  async function load(createKaltra) {
    return new Engine(await createKaltra());
  }

  const api = { load, Engine, LABEL, UNIT_SYSTEMS, FAILURE_MARK, given, plus, minus, times, over, formulaOf };
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.KaltraEngine = api;
})(typeof globalThis !== 'undefined' ? globalThis : this);
