// The calculator page: a fluid and a unit system, then a state, a saturation table or a
// vapor-compression cycle, and the kaltra host's log(p)-h chart with the state or the cycle
// drawn on it.
//
// Every number shown is an Answer of engine.js: a worksheet function's answer through the C
// interface, or the page's own arithmetic on such answers, written out where it is done. The
// page's own arithmetic is this and no more:
//   - density = 1/v (the add-in answers specific volumes);
//   - the vapor quality x = (h - hf)/(hg - hf), (s - sf)/(sg - sf) or (v - vf)/(vg - vf), and
//     the mixture's volume v = vf + x (vg - vf) for a state given by P and h or P and s;
//   - the heat of vaporization hg - hf, a quarter of the critical volume and a hundredth of
//     the lowest pressure (the bounds the add-in applies), the table's temperatures;
//   - the cycle as the example worksheet examples/cycle-real.csv computes it: T1 = Te + superheat,
//     T3 = Tc - subcooling, h2 = h1 + (h2s - h1)/eta, h4 = h3, compressor work h2 - h1,
//     refrigerating effect h1 - h4, heat rejected h2 - h3, COP and the pressure ratio as
//     quotients.
// Each number element carries data-value (every digit) and data-source ("#N" for the N-th
// worksheet call, or the arithmetic on such calls), which the browser test checks against the
// kaltra host.
(function () {
  'use strict';

  const { LABEL, FAILURE_MARK, given, plus, minus, times, over, formulaOf } = window.KaltraEngine;

  const page = {
    engine: null,
    fluids: [],
    fluid: null,        // {index, name, formula, longName}
    units: 1,
    labels: null,       // KaltUnits of the unit system
    limits: null,       // the fluid's range, as Answers
    digits: 6,
    view: 'state',
    models: {},         // the last computed model of each view, for redrawing
    chartKey: '',
    chartSvg: '',
    chartUrl: '',
    timings: { chartTraces: [], overlays: [] },
    pending: null,
    renders: 0,
  };
  window.kaltraPage = page;

  const $ = (id) => document.getElementById(id);

  // ---- Small DOM helpers ----------------------------------------------------------------------

  function element(tag, attributes, ...children) {
    const node = document.createElement(tag);
    for (const [key, value] of Object.entries(attributes || {})) {
      if (value === undefined || value === null) continue;
      if (key === 'className') node.className = value;
      else node.setAttribute(key, value);
    }
    for (const child of children.flat()) {
      if (child === null || child === undefined) continue;
      node.append(child instanceof Node ? child : String(child));
    }
    return node;
  }

  function svgElement(tag, attributes, text) {
    const node = document.createElementNS('http://www.w3.org/2000/svg', tag);
    for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
    if (text !== undefined) node.textContent = text;
    return node;
  }

  // An answer as the page shows it: the digits chosen, the failure mark said as such.
  function numberNode(answer) {
    const e = page.engine;
    const text = answer.value === FAILURE_MARK ? '\u2212999' : e.format(answer.value, page.digits).replace(/^-/, '\u2212');
    return element('span', {
      className: answer.value === FAILURE_MARK ? 'k-num k-failure' : 'k-num',
      'data-value': e.format(answer.value, 17),
      'data-source': answer.source,
      title: formulaOf(answer),
    }, text);
  }

  function unitOf(quantity) {
    if (!quantity) return '';
    if (quantity === 'density') {
      // The volume unit turned over: m³/kg gives kg/m³.
      const [top, bottom] = page.labels.volume.split('/');
      return `${bottom}/${top}`;
    }
    return page.labels[quantity];
  }

  // ---- Reading the fields -----------------------------------------------------------------------

  // The number typed into a field, or why there is none. A decimal comma is taken as a point.
  function readField(id, what) {
    const text = $(id).value.trim();
    if (text === '') return { message: `Enter ${what}.` };
    const normal = /^[+-]?\d*,\d+(e[+-]?\d+)?$/i.test(text) ? text.replace(',', '.') : text;
    if (!/^[+-]?(\d+\.?\d*|\.\d+)(e[+-]?\d+)?$/i.test(normal)) return { message: `\u201c${text}\u201d is not a number.` };
    const x = Number(normal);
    if (!Number.isFinite(x)) return { message: `${text} is too large a number.` };
    return { answer: given(x) };
  }

  // A field's message: an error (nothing is computed) or a note on how the add-in bounds it.
  function setMessage(id, kind, ...content) {
    const box = $(`${id}-message`);
    box.className = kind ? `k-message k-${kind}` : 'k-message';
    box.replaceChildren(...content.flat().map((c) => (c instanceof Node ? c : document.createTextNode(String(c)))));
    $(id).setAttribute('aria-invalid', kind === 'error' ? 'true' : 'false');
  }

  function clearMessages(ids) {
    for (const id of ids) setMessage(id, '');
  }

  // How the worksheet functions bound an input, by the functions it goes to: the low limit
  // and its words, the high limit and its words (limits are the fluid's, as Answers).
  const BOUNDS = {
    // The single-phase (T, P) and (T, v) functions.
    temperature: (l) => [l.tmin, 'the lowest temperature handled', l.tmax, 'the highest temperature handled'],
    pressure: (l) => [l.pfloor, 'a hundredth of the lowest saturation pressure', l.pmax, 'the highest pressure handled'],
    volume: (l) => [l.vfloor, 'a quarter of the critical volume', null, ''],
    // The saturation functions.
    saturationTemperature: (l) => [l.tmin, 'the lowest temperature handled', l.tc, 'the critical temperature'],
    // Temperature from pressure and enthalpy or entropy.
    inversePressure: (l) => [l.pmin, 'the lowest saturation pressure', l.pmax, 'the highest pressure handled'],
    // The lowest temperature only (the cycle's evaporator).
    lowestTemperature: (l) => [l.tmin, 'the lowest temperature handled', null, ''],
  };

  // Reads the fields [key, id, words, bound kind]; the values, or null after marking every bad
  // one. A value outside the range the add-in takes gets its note whatever the other fields hold.
  function readFields(fields) {
    const values = {};
    let good = true;
    for (const [key, id, what, bound] of fields) {
      const read = readField(id, what);
      if (read.message) {
        setMessage(id, 'error', read.message);
        good = false;
        continue;
      }
      values[key] = read.answer;
      if (bound && page.limits.hasEquationOfState) boundNote(id, read.answer, ...BOUNDS[bound](page.limits));
    }
    return good ? values : null;
  }

  // The note for a value outside [lo, hi], as the add-in bounds it, or nothing.
  function boundNote(id, x, lo, loWords, hi, hiWords) {
    const unit = (answer) => [numberNode(answer), ` ${page.labels[answer.quantity] || ''}`];
    if (hi && x.value > hi.value) {
      setMessage(id, 'bound', `Above ${hiWords}, `, unit(hi), ': the add-in bounds it there.');
    } else if (lo && x.value < lo.value - (lo.slack || 0)) {
      setMessage(id, 'bound', `Below ${loWords}, `, unit(lo), ': the add-in bounds it there.');
    }
  }

  // ---- The fluid, its range and the unit system ----------------------------------------------------

  function call(name, ...values) {
    return page.engine.call(name, page.fluid.name, ...values, page.units);
  }

  // The fluid's range in the unit system, every number asked of the worksheet functions:
  // the highest temperature and pressure it handles, the critical point (the saturation
  // functions answer it at and above the critical pressure and temperature), the lowest
  // temperature (the saturation temperature of a pressure of zero, which the add-in raises to
  // the lowest saturation pressure) and that lowest pressure.
  function readLimits() {
    const tmax = call('KaltTmax');
    const pmax = call('KaltPmax');
    const tc = call('KaltTsat', pmax.value);
    const pc = call('KaltPsat', tmax.value);
    const tmin = call('KaltTsat', 0);
    const pmin = call('KaltPsat', tmin.value);
    const vc = call('KaltVf', tmax.value);
    const mw = page.engine.call('KaltMW', page.fluid.name);
    const zc = page.engine.call('KaltZc', page.fluid.name);
    const tag = (answer, quantity) => Object.assign(answer, { quantity });
    const limits = {
      tmax: tag(tmax, 'temperature'), pmax: tag(pmax, 'pressure'), tc: tag(tc, 'temperature'),
      pc: tag(pc, 'pressure'), tmin: tag(tmin, 'temperature'), pmin: tag(pmin, 'pressure'),
      vc: tag(vc, 'volume'), mw, zc,
      // The bounds of the single-phase functions: a hundredth of the lowest saturation
      // pressure and a quarter of the critical volume.
      pfloor: tag(times(given(0.01), pmin), 'pressure'),
      vfloor: tag(times(given(0.25), vc), 'volume'),
    };
    limits.hasEquationOfState = [tc, pc, tmin, pmin].every((a) => a.value !== FAILURE_MARK);
    // The saturation temperature of the lowest pressure lies a hair above the lowest
    // temperature itself: a temperature within a millionth of the range below it is not
    // called bounded.
    tmin.slack = 1e-6 * (Math.abs(tmin.value) + Math.abs(tmax.value));
    return limits;
  }

  function showFluidInfo() {
    const { fluid, limits: l } = page;
    const info = $('fluid-info');
    const withUnit = (answer) => [numberNode(answer), ` ${unitOf(answer.quantity)}`];
    const parts = [
      element('strong', {}, fluid.name), ` ${fluid.formula} \u00b7 ${fluid.longName} \u00b7 molecular weight `,
      numberNode(l.mw), ', critical compressibility ', numberNode(l.zc),
    ];
    if (l.hasEquationOfState) {
      parts.push('. Critical point ', withUnit(l.tc), ', ', withUnit(l.pc), '. Handles ', withUnit(l.tmin), ' to ',
        withUnit(l.tmax), ', up to ', withUnit(l.pmax), '.');
    } else {
      parts.push('. ', element('span', { className: 'k-failure-text' },
        `The add-in has no equation-of-state coefficients for ${fluid.name} yet: every function that needs them answers \u2212999.`));
    }
    info.replaceChildren(...parts.flat());
  }

  function fillUnitLabels() {
    for (const span of document.querySelectorAll('[data-unit]')) span.textContent = page.labels[span.dataset.unit] || '';
  }

  // Starting values of the fields in a unit system, by its temperature and pressure labels.
  const START = {
    temperature: {
      '\u00baF': { T: 77, table: [-40, 140, 20], cycle: [14, 104, 9, 5.4] },
      '\u00baC': { T: 25, table: [-40, 60, 10], cycle: [-10, 40, 5, 3] },
      '\u00baR': { T: 536.67, table: [419.67, 599.67, 20], cycle: [473.67, 563.67, 9, 5.4] },
      '\u00baK': { T: 298.15, table: [233.15, 333.15, 10], cycle: [263.15, 313.15, 5, 3] },
    },
    pressure: { psia: 145, bar: 10, MPa: 1, kPa: 1000, 'kg/cm\u00b2': 10, 'g/cm\u00b2': 10000 },
  };

  function startValues() {
    const t = START.temperature[page.labels.temperature] || START.temperature['\u00baC'];
    const p = START.pressure[page.labels.pressure] || 10;
    $('state-T').value = t.T;
    $('state-P').value = p;
    [$('table-from').value, $('table-to').value, $('table-step').value] = t.table;
    [$('cycle-evaporating').value, $('cycle-condensing').value, $('cycle-superheat').value, $('cycle-subcooling').value] = t.cycle;
    $('cycle-efficiency').value = 0.75;
    // The other state fields hold the state of that temperature and pressure.
    if (page.limits && page.limits.hasEquationOfState) {
      $('state-h').value = page.engine.format(call('KaltHofTP', t.T, p).value, 6);
      $('state-s').value = page.engine.format(call('KaltSofTP', t.T, p).value, 6);
      $('state-v').value = page.engine.format(call('KaltVofTP', t.T, p).value, 6);
    }
  }

  function setUnits(code) {
    page.units = code;
    page.labels = page.engine.units(code);
    fillUnitLabels();
    page.limits = readLimits();
    startValues();
    showFluidInfo();
    refresh();
  }

  function setFluid(index) {
    page.fluid = page.fluids[index - 1];
    $('fluid').value = String(index);
    page.limits = readLimits();
    showFluidInfo();
    refresh();
  }

  // ---- The fluid picker ----------------------------------------------------------------------------

  // Letters and digits only, lower case: "R-134a" finds R134a.
  const plain = (text) => text.toLowerCase().replace(/[\s\-_]/g, '');

  function filterFluids() {
    const query = plain($('fluid-search').value);
    const select = $('fluid');
    const shown = page.fluids.filter((f) => !query || [f.name, f.formula, f.longName].some((t) => plain(t).includes(query)));
    select.replaceChildren(...shown.map((f) =>
      element('option', { value: f.index }, `${f.name} \u2014 ${f.formula} \u2014 ${f.longName}`)));
    if (page.fluid && shown.some((f) => f.index === page.fluid.index)) select.value = String(page.fluid.index);
    $('fluid-matches').textContent = query
      ? (shown.length ? `${shown.length} of ${page.fluids.length} fluids match` : `No fluid matches \u201c${$('fluid-search').value.trim()}\u201d.`)
      : `${page.fluids.length} fluids`;
    return shown;
  }

  // ---- The state calculator ---------------------------------------------------------------------------

  const STATE_MODES = {
    TP: ['T', 'P'], sat: ['T'], Ph: ['P', 'h'], Ps: ['P', 's'], Tv: ['T', 'v'],
  };
  // Which functions each field goes to, for the note on how they bound it.
  const STATE_BOUNDS = {
    TP: { T: 'temperature', P: 'pressure' }, sat: { T: 'saturationTemperature' },
    Ph: { P: 'inversePressure' }, Ps: { P: 'inversePressure' }, Tv: { T: 'temperature', v: 'volume' },
  };
  const FIELD_WORDS = { T: 'a temperature', P: 'a pressure', h: 'an enthalpy', s: 'an entropy', v: 'a specific volume' };

  // A row of a results table: a label, the unit's quantity, one answer per column (null for
  // none), and a note.
  const row = (label, quantity, cells, note) => ({ label, quantity, cells: Array.isArray(cells) ? cells : [cells], note });
  const ONE = given(1);

  // Transport answers of -999 mean the add-in has no transport data for the fluid.
  function transportNote(answer) {
    return answer.value === FAILURE_MARK ? `no data for ${page.fluid.name}: the add-in answers \u2212999` : undefined;
  }

  // Cp, Cv, the transport properties and, for a liquid, the surface tension at (T, P).
  function heatAndTransportRows(T, P, liquid) {
    const rows = [
      row('Specific heat Cp', 'specificHeat', call('KaltCpofTP', T.value, P.value)),
      row('Specific heat Cv', 'specificHeat', call('KaltCvofTP', T.value, P.value)),
    ];
    for (const [label, name, quantity] of TRANSPORT) {
      const answer = call(name, T.value, P.value);
      rows.push(row(label, quantity, answer, transportNote(answer)));
    }
    rows.push(liquid
      ? row('Surface tension \u03c3', 'surfaceTension', call('KaltSt', T.value), 'of the saturated liquid at T')
      : row('Surface tension \u03c3', 'surfaceTension', null, 'applies to a liquid below the critical temperature'));
    return rows;
  }

  const TRANSPORT = [['Dynamic viscosity \u03bc', 'KaltMUofTP', 'viscosity'],
    ['Kinematic viscosity \u03bd', 'KaltNUofTP', 'kinematicViscosity'],
    ['Thermal conductivity k', 'KaltTKofTP', 'conductivity']];

  // The properties of a single-phase state at (T, P) through the (T, P) functions.
  function singlePhaseRows(T, P, liquid) {
    const v = call('KaltVofTP', T.value, P.value);
    return [
      row('Pressure P', 'pressure', P), row('Temperature T', 'temperature', T),
      row('Specific volume v', 'volume', v), row('Density \u03c1 = 1/v', 'density', over(ONE, v)),
      row('Compressibility Z', null, call('KaltZofTP', T.value, P.value)),
      row('Enthalpy h', 'enthalpy', call('KaltHofTP', T.value, P.value)),
      row('Entropy s', 'entropy', call('KaltSofTP', T.value, P.value)),
      ...heatAndTransportRows(T, P, liquid),
    ];
  }

  // A state given by T and v through the (T, v) functions, which answer under the dome too;
  // P is KaltPofTV's, x the quality of a mixture or null.
  function volumeRows(T, P, x, v) {
    return [
      row('Pressure P', 'pressure', P), row('Temperature T', 'temperature', T),
      ...(x ? [row('Vapor quality x', null, x)] : []),
      row('Specific volume v', 'volume', v), row('Density \u03c1 = 1/v', 'density', over(ONE, v)),
      row('Compressibility Z', null, call('KaltZofTV', T.value, v.value)),
      row('Enthalpy h', 'enthalpy', call('KaltHofTV', T.value, v.value)),
      row('Entropy s', 'entropy', call('KaltSofTV', T.value, v.value)),
    ];
  }

  // Cp, Cv and the transport properties belong to one phase: a mixture has none; its liquid
  // is saturated at T.
  function mixtureRows(T) {
    const none = 'not defined for a liquid\u2013vapor mixture';
    return [
      row('Specific heat Cp', 'specificHeat', null, none), row('Specific heat Cv', 'specificHeat', null, none),
      ...TRANSPORT.map(([label, , quantity]) => row(label, quantity, null, none)),
      row('Surface tension \u03c3', 'surfaceTension', call('KaltSt', T.value), 'of the saturated liquid at T'),
    ];
  }

  const enthalpyOf = (rows) => rows.find((r) => r.label.startsWith('Enthalpy')).cells[0];

  // The phase of (T, P) as the (T, P) functions take it: the pressure against the saturation
  // pressure at T, below the critical temperature.
  function phaseOfTP(T, P) {
    const l = page.limits;
    if (T.value >= l.tc.value) {
      return { words: P.value >= l.pc.value ? 'supercritical fluid' : 'gas above the critical temperature', liquid: false };
    }
    const psat = call('KaltPsat', T.value);
    if (P.value > psat.value) return { words: 'compressed (subcooled) liquid', liquid: true, psat };
    if (P.value < psat.value) return { words: 'superheated vapor', liquid: false, psat };
    return { words: 'on the saturation line: the (T, P) functions take one of the two phases', liquid: true, psat };
  }

  function stateTP({ T, P }) {
    const phase = phaseOfTP(T, P);
    const rows = singlePhaseRows(T, P, phase.liquid);
    if (phase.psat) rows.push(row('Saturation pressure at T', 'pressure', phase.psat));
    return { phase: phase.words, rows, points: [{ h: enthalpyOf(rows), p: P, label: 'state' }] };
  }

  function stateSaturated({ T }) {
    const l = page.limits;
    const P = call('KaltPsat', T.value);
    const vf = call('KaltVf', T.value), vg = call('KaltVg', T.value);
    const hf = call('KaltHf', T.value), hg = call('KaltHg', T.value);
    const sf = call('KaltSf', T.value), sg = call('KaltSg', T.value);
    const rows = [
      row('Pressure P', 'pressure', [P, P]), row('Temperature T', 'temperature', [T, T]),
      row('Specific volume v', 'volume', [vf, vg]), row('Density \u03c1 = 1/v', 'density', [over(ONE, vf), over(ONE, vg)]),
      row('Compressibility Z', null, [call('KaltZofTV', T.value, vf.value), call('KaltZofTV', T.value, vg.value)]),
      row('Enthalpy h', 'enthalpy', [hf, hg]), row('Entropy s', 'entropy', [sf, sg]),
      row('Heat of vaporization hg \u2212 hf', 'enthalpy', [null, minus(hg, hf)]),
    ];
    // At the saturation pressure the (T, P) functions take one root; their answers go into
    // the column of the phase whose volume KaltVofTP answers.
    const v = call('KaltVofTP', T.value, P.value);
    const column = v.value === vf.value ? 0 : v.value === vg.value ? 1 : -1;
    const placed = (answer, note) => {
      const cells = [null, null];
      if (column >= 0) cells[column] = answer;
      return { cells, note };
    };
    const rootNote = column === 0 ? 'the (T, P) functions take the liquid at the saturation pressure'
      : column === 1 ? 'the (T, P) functions take the vapor at the saturation pressure'
        : 'the (T, P) functions take neither saturated volume here';
    for (const [label, name, quantity] of [['Specific heat Cp', 'KaltCpofTP', 'specificHeat'],
      ['Specific heat Cv', 'KaltCvofTP', 'specificHeat'], ...TRANSPORT]) {
      const answer = call(name, T.value, P.value);
      const { cells, note } = placed(answer, transportNote(answer) || rootNote);
      rows.push(row(label, quantity, cells, note));
    }
    rows.push(row('Surface tension \u03c3', 'surfaceTension', [call('KaltSt', T.value), null], 'of the saturated liquid'));
    const critical = T.value >= l.tc.value ? ' (at or above the critical temperature the saturation functions answer the critical point)' : '';
    return {
      phase: `saturated liquid and saturated vapor${critical}`, columns: ['liquid', 'vapor'], rows,
      points: [{ h: hf, p: P, label: 'liquid' }, { h: hg, p: P, label: 'vapor' }],
    };
  }

  // A state given by P and h (or P and s): the temperature from KaltTofPH (KaltTofPS), which
  // answers the saturation temperature inside the dome; there the quality places the state.
  function stateOfPressureAnd(kind, values) {
    const l = page.limits;
    const P = values.P;
    const y = values[kind];
    const [inverse, liquidOf, vaporOf, quantity] = kind === 'h'
      ? ['KaltTofPH', 'KaltHf', 'KaltHg', 'enthalpy'] : ['KaltTofPS', 'KaltSf', 'KaltSg', 'entropy'];
    const T = call(inverse, P.value, y.value);
    const span = l.tmax.value - l.tmin.value;
    if (Math.abs(T.value - l.tmax.value) < 1e-6 * span || Math.abs(T.value - l.tmin.value) < 1e-6 * span) {
      setMessage(`state-${kind}`, 'bound', `Beyond the fluid's range at this pressure: the add-in answers the end of its temperature range.`);
    }
    if (P.value < l.pc.value) {
      const tsat = call('KaltTsat', P.value);
      const yf = call(liquidOf, tsat.value), yg = call(vaporOf, tsat.value);
      if (y.value >= yf.value && y.value <= yg.value) {
        const x = over(minus(y, yf), minus(yg, yf));
        const vf = call('KaltVf', T.value), vg = call('KaltVg', T.value);
        const v = plus(vf, times(x, minus(vg, vf)));
        const rows = [...volumeRows(T, P, x, v), ...mixtureRows(T)];
        return { phase: 'liquid\u2013vapor mixture', rows, points: [{ h: enthalpyOf(rows), p: P, label: 'state' }] };
      }
      const liquid = y.value < yf.value;
      const rows = singlePhaseRows(T, P, liquid);
      return { phase: liquid ? 'compressed (subcooled) liquid' : 'superheated vapor', rows, points: [{ h: enthalpyOf(rows), p: P, label: 'state' }] };
    }
    const rows = singlePhaseRows(T, P, false);
    const words = T.value >= l.tc.value ? 'supercritical fluid' : 'liquid above the critical pressure';
    return { phase: words, rows, points: [{ h: enthalpyOf(rows), p: P, label: 'state' }] };
  }

  function stateTv({ T, v }) {
    const l = page.limits;
    const P = call('KaltPofTV', T.value, v.value);
    let phase = T.value >= l.tc.value ? (P.value >= l.pc.value ? 'supercritical fluid' : 'gas above the critical temperature') : null;
    let x = null;
    if (!phase) {
      const vf = call('KaltVf', T.value), vg = call('KaltVg', T.value);
      if (v.value <= vf.value) phase = 'compressed (subcooled) liquid';
      else if (v.value > vg.value) phase = 'superheated vapor';
      else {
        phase = 'liquid\u2013vapor mixture';
        x = over(minus(v, vf), minus(vg, vf));
      }
    }
    const rows = volumeRows(T, P, x, v);
    // Cp, Cv and the transport properties of a single phase at the pressure KaltPofTV answers.
    rows.push(...(x ? mixtureRows(T) : heatAndTransportRows(T, P, phase.startsWith('compressed'))));
    return { phase, rows, points: [{ h: enthalpyOf(rows), p: P, label: 'state' }] };
  }

  function computeState() {
    const mode = $('state-mode').value;
    const fields = STATE_MODES[mode];
    for (const field of document.querySelectorAll('#state-form [data-field]')) field.hidden = !fields.includes(field.dataset.field);
    clearMessages(['T', 'P', 'h', 's', 'v'].map((f) => `state-${f}`));
    const values = readFields(fields.map((f) => [f, `state-${f}`, FIELD_WORDS[f], STATE_BOUNDS[mode][f]]));
    if (!values) return { error: 'Correct the marked field to see the state.' };
    if (!page.limits.hasEquationOfState) return { error: `No state: the add-in has no equation of state for ${page.fluid.name}.` };
    const model = mode === 'TP' ? stateTP(values) : mode === 'sat' ? stateSaturated(values)
      : mode === 'Tv' ? stateTv(values) : stateOfPressureAnd(mode === 'Ph' ? 'h' : 's', values);
    model.mode = mode;
    return model;
  }

  // The other fields of the state calculator follow the state just computed, so that another
  // way of giving it starts from the same state.
  function followState(model) {
    if (!model.rows || model.mode === 'sat') return;
    const fields = STATE_MODES[model.mode];
    const byLabel = (start) => model.rows.find((r) => r.label.startsWith(start));
    const of = { T: byLabel('Temperature'), P: byLabel('Pressure'), h: byLabel('Enthalpy'), s: byLabel('Entropy'), v: byLabel('Specific volume') };
    for (const [key, r] of Object.entries(of)) {
      if (fields.includes(key) || !r || !r.cells[0]) continue;
      $(`state-${key}`).value = page.engine.format(r.cells[0].value, 6);
    }
  }

  function renderResults(table, model) {
    const columns = model.columns || ['value'];
    const head = element('tr', {}, element('th', { scope: 'col' }, 'Property'),
      ...columns.map((c) => element('th', { scope: 'col', className: 'k-value' }, c === 'value' ? 'Value' : c)),
      element('th', { scope: 'col' }, 'Unit'), element('th', { scope: 'col' }, ''));
    const body = model.rows.map((r) => element('tr', {},
      element('th', { scope: 'row' }, r.label),
      ...columns.map((c, i) => element('td', { className: 'k-value' }, r.cells[i] ? numberNode(r.cells[i]) : '\u2014')),
      element('td', { className: 'k-unit-cell' }, unitOf(r.quantity)),
      element('td', { className: 'k-note' }, r.note || '')));
    table.replaceChildren(element('thead', {}, head), element('tbody', {}, body));
  }

  function renderState(model) {
    if (model.error) {
      $('state-phase').replaceChildren(element('span', { className: 'k-error-text' }, model.error));
      $('state-results').replaceChildren();
      return;
    }
    $('state-phase').replaceChildren('Phase: ', element('strong', {}, model.phase));
    renderResults($('state-results'), model);
  }

  // ---- The saturation table -----------------------------------------------------------------------------

  const MOST_ROWS = 201;

  function computeTable() {
    const ids = ['table-from', 'table-to', 'table-step'];
    clearMessages(ids);
    const values = readFields([['from', 'table-from', 'the first temperature', 'saturationTemperature'],
      ['to', 'table-to', 'the last temperature', 'saturationTemperature'], ['step', 'table-step', 'the step']]);
    if (!values) return { error: 'Correct the marked field to see the table.' };
    const { from, to, step } = values;
    if (!(step.value > 0)) setMessage('table-step', 'error', 'The step must be above zero.');
    else if (to.value < from.value) setMessage('table-to', 'error', 'The last temperature must not be below the first.');
    else if ((to.value - from.value) / step.value + 1 > MOST_ROWS) setMessage('table-step', 'error', `At most ${MOST_ROWS} rows: take a larger step.`);
    else if (!page.limits.hasEquationOfState) return { error: `No table: the add-in has no equation of state for ${page.fluid.name}.` };
    if (document.querySelector('#table-form [aria-invalid="true"]')) return { error: 'Correct the marked field to see the table.' };
    const l = page.limits;
    const rows = [];
    const count = Math.floor((to.value - from.value) / step.value + 1e-9) + 1;
    for (let i = 0; i < count; ++i) {
      // The temperatures asked for, as decimals: from + i step, written with 12 digits.
      const T = given(Number((from.value + i * step.value).toPrecision(12)));
      const hf = call('KaltHf', T.value), hg = call('KaltHg', T.value);
      rows.push({
        T, P: call('KaltPsat', T.value), vf: call('KaltVf', T.value), vg: call('KaltVg', T.value), hf, hg,
        hfg: minus(hg, hf), sf: call('KaltSf', T.value), sg: call('KaltSg', T.value),
        note: T.value >= l.tc.value ? 'critical point' : T.value < l.tmin.value - l.tmin.slack ? 'bounded' : '',
      });
    }
    return { rows };
  }

  const TABLE_COLUMNS = [
    ['T', 'T', 'temperature'], ['P', 'P', 'pressure'], ['vf', 'vf', 'volume'], ['vg', 'vg', 'volume'],
    ['hf', 'hf', 'enthalpy'], ['hg', 'hg', 'enthalpy'], ['hfg', 'hg \u2212 hf', 'enthalpy'], ['sf', 'sf', 'entropy'],
    ['sg', 'sg', 'entropy'],
  ];

  function tableCsv(model) {
    const header = TABLE_COLUMNS.map(([, title, quantity]) => `${title.replace('\u2212', '-')} (${unitOf(quantity)})`);
    const lines = [header.join(',')];
    for (const r of model.rows) lines.push(TABLE_COLUMNS.map(([key]) => page.engine.format(r[key].value, 17)).join(','));
    return lines.join('\n') + '\n';
  }

  function renderTable(model) {
    const table = $('table-results');
    if (model.error) {
      table.replaceChildren(element('caption', { className: 'k-error-text' }, model.error));
      $('table-csv').value = '';
      return;
    }
    // A column of notes only where a row needs one.
    const notes = model.rows.some((r) => r.note);
    const head = element('tr', {}, ...TABLE_COLUMNS.map(([, title, quantity]) =>
      element('th', { scope: 'col', className: 'k-value' }, title, element('br'), element('span', { className: 'k-unit' }, unitOf(quantity)))),
    notes ? element('th', { scope: 'col' }, '') : null);
    const body = model.rows.map((r) => element('tr', {},
      ...TABLE_COLUMNS.map(([key]) => element('td', { className: 'k-value' }, numberNode(r[key]))),
      notes ? element('td', { className: 'k-note' }, r.note === 'critical point' ? 'at or above Tc: the critical point'
        : r.note === 'bounded' ? 'below the lowest temperature: bounded' : '') : null));
    const caption = element('caption', {}, `Saturated liquid (f) and vapor (g) of ${page.fluid.name}, ${model.rows.length} rows`);
    table.replaceChildren(caption, element('thead', {}, head), element('tbody', {}, body));
    $('table-csv').value = tableCsv(model);
  }

  async function copyTable() {
    const text = $('table-csv').value;
    const status = $('table-status');
    if (!text) {
      status.textContent = 'Nothing to copy.';
      return;
    }
    try {
      await navigator.clipboard.writeText(text);
      status.textContent = `Copied ${text.trim().split('\n').length - 1} rows.`;
    } catch (refused) {
      // Without clipboard access (a page opened from a file, say) the text is selected instead.
      const area = $('table-csv');
      area.closest('details').open = true;
      area.select();
      status.textContent = 'The browser refused the clipboard: the CSV below is selected, copy it with Ctrl+C.';
    }
  }

  function downloadTable() {
    const text = $('table-csv').value;
    if (!text) return;
    // With a byte-order mark, so that Excel reads the degree signs as UTF-8.
    const url = URL.createObjectURL(new Blob(['\ufeff', text], { type: 'text/csv;charset=utf-8' }));
    const link = element('a', { href: url, download: `${page.fluid.name}-saturation.csv` });
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
    $('table-status').textContent = `Downloading ${page.fluid.name}-saturation.csv.`;
  }

  // ---- The cycle -------------------------------------------------------------------------------------------

  function computeCycle() {
    const ids = ['cycle-evaporating', 'cycle-condensing', 'cycle-superheat', 'cycle-subcooling', 'cycle-efficiency'];
    clearMessages(ids);
    const values = readFields([['Te', 'cycle-evaporating', 'the evaporating temperature', 'lowestTemperature'],
      ['Tk', 'cycle-condensing', 'the condensing temperature'], ['superheat', 'cycle-superheat', 'the superheat'],
      ['subcooling', 'cycle-subcooling', 'the subcooling'], ['eta', 'cycle-efficiency', 'the efficiency']]);
    if (!values) return { error: 'Correct the marked field to see the cycle.' };
    if (!page.limits.hasEquationOfState) return { error: `No cycle: the add-in has no equation of state for ${page.fluid.name}.` };
    const { Te, Tk, superheat, subcooling, eta } = values;
    const l = page.limits;
    const withUnit = (answer) => [numberNode(answer), ` ${unitOf(answer.quantity)}`];
    if (!(eta.value > 0 && eta.value <= 1)) setMessage('cycle-efficiency', 'error', 'The efficiency must lie above 0 and at most 1.');
    if (superheat.value < 0) setMessage('cycle-superheat', 'error', 'The superheat must not be negative.');
    if (subcooling.value < 0) setMessage('cycle-subcooling', 'error', 'The subcooling must not be negative.');
    if (Tk.value >= l.tc.value) {
      setMessage('cycle-condensing', 'error', 'A condensing temperature must lie below the critical temperature, ', withUnit(l.tc), '.');
    } else if (Tk.value <= Te.value) {
      setMessage('cycle-condensing', 'error', 'The condensing temperature must lie above the evaporating temperature.');
    }
    if (document.querySelector('#cycle-form [aria-invalid="true"]')) return { error: 'Correct the marked field to see the cycle.' };

    // The example worksheet's cells, in its order (examples/cycle-real.csv).
    const T1 = plus(Te, superheat);
    const P1 = call('KaltPsat', Te.value);
    const h1 = call('KaltHofTP', T1.value, P1.value);
    const s1 = call('KaltSofTP', T1.value, P1.value);
    const P2 = call('KaltPsat', Tk.value);
    const T2s = call('KaltTofPS', P2.value, s1.value);
    const h2s = call('KaltHofTP', T2s.value, P2.value);
    const s2s = call('KaltSofTP', T2s.value, P2.value);
    const h2 = plus(h1, over(minus(h2s, h1), eta));
    const T2 = call('KaltTofPH', P2.value, h2.value);
    const s2 = call('KaltSofTP', T2.value, P2.value);
    const T3 = minus(Tk, subcooling);
    const h3 = call('KaltHofTP', T3.value, P2.value);
    const s3 = call('KaltSofTP', T3.value, P2.value);
    const h4 = h3;
    const hf4 = call('KaltHf', Te.value), hg4 = call('KaltHg', Te.value);
    const states = [
      { name: '1', T: T1, P: P1, h: h1, s: s1, where: 'superheated vapor leaving the evaporator' },
      { name: '2s', T: T2s, P: P2, h: h2s, s: s2s, where: 'isentropic discharge (s2s = s1)' },
      { name: '2', T: T2, P: P2, h: h2, s: s2, where: 'real discharge: h2 = h1 + (h2s \u2212 h1)/\u03b7' },
      { name: '3', T: T3, P: P2, h: h3, s: s3, where: 'subcooled liquid leaving the condenser' },
      { name: '4', T: Te, P: P1, h: h4, s: null, where: 'after the expansion valve (h4 = h3)' },
    ];
    const work = minus(h2, h1);
    const effect = minus(h1, h4);
    const results = [
      row('Refrigerating effect h1 \u2212 h4', 'enthalpy', effect),
      row('Compressor work h2 \u2212 h1', 'enthalpy', work),
      row('Heat rejected h2 \u2212 h3', 'enthalpy', minus(h2, h3)),
      row('COP', null, over(effect, work)),
      row('COP with an isentropic compressor', null, over(effect, minus(h2s, h1))),
      row('Discharge temperature T2', 'temperature', T2),
      row('Pressure ratio P2/P1', null, over(P2, P1)),
      row('Vapor quality after expansion', null, over(minus(h4, hf4), minus(hg4, hf4))),
    ];
    return { states, rows: results, points: states.map((s) => ({ h: s.h, p: s.P, label: s.name })) };
  }

  function renderCycle(model) {
    if (model.error) {
      $('cycle-states').replaceChildren(element('caption', { className: 'k-error-text' }, model.error));
      $('cycle-results').replaceChildren();
      return;
    }
    const quantities = [['T', 'temperature'], ['P', 'pressure'], ['h', 'enthalpy'], ['s', 'entropy']];
    const head = element('tr', {}, element('th', { scope: 'col' }, 'State'),
      ...quantities.map(([key, quantity]) => element('th', { scope: 'col', className: 'k-value' }, key, element('br'),
        element('span', { className: 'k-unit' }, unitOf(quantity)))),
      element('th', { scope: 'col' }, ''));
    const body = model.states.map((s) => element('tr', {}, element('th', { scope: 'row' }, s.name),
      ...quantities.map(([key]) => element('td', { className: 'k-value' }, s[key] ? numberNode(s[key]) : '\u2014')),
      element('td', { className: 'k-note' }, s.where)));
    $('cycle-states').replaceChildren(element('caption', {}, `Vapor-compression cycle of ${page.fluid.name}`),
      element('thead', {}, head), element('tbody', {}, body));
    renderResults($('cycle-results'), model);
  }

  // ---- The chart -------------------------------------------------------------------------------------------

  // The kaltra host's chart of the fluid, traced again only when the fluid or the unit system
  // changes.
  function drawChart() {
    const key = `${page.fluid.name}|${page.units}`;
    if (key === page.chartKey) return;
    page.chartKey = key;
    const started = performance.now();
    const chart = page.engine.chart(page.fluid.name, page.units);
    page.timings.chartTraces.push(performance.now() - started);
    if (page.chartUrl) URL.revokeObjectURL(page.chartUrl);
    page.chartUrl = '';
    page.chartSvg = chart.svg || '';
    page.chartProblem = chart.problem || '';
    const image = $('chart-image');
    if (chart.svg) {
      page.chartUrl = URL.createObjectURL(new Blob([chart.svg], { type: 'image/svg+xml' }));
      image.src = page.chartUrl;
      image.alt = `log(p)-h chart of ${page.fluid.name}`;
      image.hidden = false;
    } else {
      image.removeAttribute('src');
      image.hidden = true;
    }
  }

  // The current view's states on the chart: the state, the cycle or the table's saturated
  // points, placed by the chart's own scales.
  function drawOverlay() {
    const started = performance.now();
    const overlay = $('chart-overlay');
    const layout = page.engine.chartLayout();
    overlay.setAttribute('viewBox', `0 0 ${layout.width} ${layout.height}`);
    overlay.replaceChildren();
    const caption = $('chart-caption');
    if (!page.chartSvg) {
      overlay.hidden = true;
      caption.textContent = `No chart: ${page.chartProblem}.`;
      return;
    }
    overlay.hidden = false;
    const clip = svgElement('clipPath', { id: 'k-plot' });
    clip.append(svgElement('rect', { x: layout.left, y: layout.top, width: layout.plotWidth, height: layout.plotHeight }));
    overlay.append(clip);
    const layer = svgElement('g', { 'clip-path': 'url(#k-plot)' });
    overlay.append(layer);
    const model = page.models[page.view];
    const at = (point) => page.engine.chartPoint(point.h.value, point.p.value);
    const inside = (xy) => xy.x >= layout.left && xy.x <= layout.left + layout.plotWidth && xy.y >= layout.top && xy.y <= layout.top + layout.plotHeight;
    let words = `The log(p)-h chart of ${page.fluid.name} in ${page.labels.systemName} units, drawn by the kaltra host's chart code.`;
    if (model && model.points && !model.error) {
      const points = model.points.filter((p) => p.h && p.p && p.h.value !== FAILURE_MARK && p.p.value > 0);
      const placed = points.map((p) => ({ ...p, xy: at(p) }));
      if (page.view === 'cycle' && placed.length === 5) {
        const [p1, p2s, p2, p3, p4] = placed.map((p) => p.xy);
        const path = (points, className) => layer.append(svgElement('path', {
          d: points.map((xy, i) => `${i ? 'L' : 'M'}${xy.x.toFixed(2)},${xy.y.toFixed(2)}`).join(' '), class: className,
        }));
        path([p1, p2s], 'k-cycle-ideal');
        path([p1, p2, p3, p4, p1], 'k-cycle');
        words += ' The cycle: compression 1\u20132 (2s isentropic), condensing 2\u20133, expansion 3\u20134, evaporating 4\u20131.';
      } else if (page.view === 'table') {
        words += ' The table\u2019s saturated liquid and vapor.';
      } else if (placed.length) {
        words += ' The dot is the state.';
      }
      for (const p of placed) {
        layer.append(svgElement('circle', { cx: p.xy.x.toFixed(2), cy: p.xy.y.toFixed(2), r: page.view === 'table' ? 3 : 5, class: `k-point k-point-${page.view}` }));
        if (page.view !== 'table') {
          // 2s sits just left of 2 on the same isobar: its label goes to the left.
          const left = p.label === '2s';
          layer.append(svgElement('text', {
            x: (p.xy.x + (left ? -8 : 8)).toFixed(2), y: (p.xy.y - 8).toFixed(2), class: 'k-point-label', 'text-anchor': left ? 'end' : 'start',
          }, p.label));
        }
      }
      if (placed.some((p) => !inside(p.xy))) words += ' Some of it lies outside the chart.';
    }
    caption.textContent = words;
    page.timings.overlays.push(performance.now() - started);
  }

  // ---- Views --------------------------------------------------------------------------------------------------

  const VIEWS = {
    state: { compute: computeState, render: (m) => { renderState(m); if (!m.error) followState(m); } },
    table: { compute: computeTable, render: renderTable },
    cycle: { compute: computeCycle, render: renderCycle },
  };

  // The tables' points on the chart, for the table view.
  function tablePoints(model) {
    if (model.error) return model;
    model.points = model.rows.flatMap((r) => [{ h: r.hf, p: r.P, label: '' }, { h: r.hg, p: r.P, label: '' }]);
    return model;
  }

  // Computes the current view and draws it, the chart and its overlay.
  function refresh() {
    page.pending = null;
    if (!page.fluid || !page.labels) return;
    const view = VIEWS[page.view];
    let model = view.compute();
    if (page.view === 'table') model = tablePoints(model);
    page.models[page.view] = model;
    view.render(model);
    if (!page.timings.firstAnswer && !model.error) {
      page.timings.firstAnswer = performance.now();
      performance.mark('kaltra-first-answer');
    }
    if (page.ready) {
      drawChart();
      drawOverlay();
    }
    page.renders += 1;
  }

  // Inputs recompute a moment after the last key.
  function schedule() {
    if (page.pending) clearTimeout(page.pending);
    page.pending = setTimeout(refresh, 150);
  }

  // For tests: whatever is scheduled, done now.
  page.flush = () => {
    if (page.pending) {
      clearTimeout(page.pending);
      refresh();
    }
    return page.renders;
  };

  function redraw() {
    const model = page.models[page.view];
    if (model) VIEWS[page.view].render(model);
    if (page.fluid) showFluidInfo();
  }

  function showView(name) {
    page.view = name;
    for (const v of Object.keys(VIEWS)) {
      $(`view-${v}`).hidden = v !== name;
      $(`tab-${v}`).setAttribute('aria-selected', String(v === name));
    }
    refresh();
  }

  // ---- Start ----------------------------------------------------------------------------------------------------

  async function start() {
    const started = performance.now();
    page.engine = await window.KaltraEngine.load(window.createKaltra);
    // ?record: every worksheet call is written down for the browser test.
    if (/[?&]record\b/.test(location.search)) page.engine.record(true);
    page.timings.engineReady = performance.now();
    page.fluids = page.engine.fluids();

    const units = $('units');
    for (let code = 0; code < window.KaltraEngine.UNIT_SYSTEMS; ++code) {
      const l = page.engine.units(code);
      units.append(element('option', { value: code }, `${l.systemName} \u2014 ${l.temperature}, ${l.pressure}, ${l.enthalpy}`));
    }
    units.value = '1';
    filterFluids();
    const first = page.fluids.find((f) => f.name === 'R134a') || page.fluids[0];
    page.fluid = first;
    $('fluid').value = String(first.index);
    page.labels = page.engine.units(1);
    fillUnitLabels();
    page.limits = readLimits();
    startValues();
    showFluidInfo();
    refresh();

    $('fluid-search').addEventListener('input', filterFluids);
    $('fluid-search').addEventListener('keydown', (event) => {
      if (event.key !== 'Enter') return;
      event.preventDefault();
      const shown = filterFluids();
      if (shown.length) setFluid(shown[0].index);
    });
    $('fluid').addEventListener('change', () => setFluid(Number($('fluid').value)));
    units.addEventListener('change', () => setUnits(Number(units.value)));
    $('digits').addEventListener('change', () => {
      page.digits = Number($('digits').value);
      redraw();
    });
    for (const form of document.querySelectorAll('.k-form')) {
      form.addEventListener('input', schedule);
      form.addEventListener('change', schedule);
      form.addEventListener('submit', (event) => {
        event.preventDefault();
        refresh();
      });
    }
    for (const name of Object.keys(VIEWS)) $(`tab-${name}`).addEventListener('click', () => showView(name));
    $('table-copy').addEventListener('click', copyTable);
    $('table-download').addEventListener('click', downloadTable);

    // The first answer shows before the chart is traced.
    await new Promise((resolve) => setTimeout(resolve, 0));
    page.ready = true;
    drawChart();
    drawOverlay();
    const ready = Math.round(page.timings.engineReady - started);
    $('status').textContent = `Engine ready in ${ready} ms; ${page.fluids.length} fluids; the chart traced in ` +
      `${Math.round(page.timings.chartTraces[0] || 0)} ms. Everything runs in this browser.`;
    page.timings.chartReady = performance.now();
  }

  start().catch((problem) => {
    $('status').textContent = `The engine could not start: ${problem && problem.message ? problem.message : problem}`;
    throw problem;
  });
})();
