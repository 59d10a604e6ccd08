// Charts of a run, drawn with Chart.js from rows shaped like the lines of
// trace.jsonl: {t, <the unit's globals while powered>, pins, world}. The
// report draws a finished run with them; the live dashboard adds rows as
// they come and redraws now and then. Needs Chart.js (window.Chart) loaded
// first.
(function (global) {
  'use strict';

  // The unit's live totals start again from 0 at every power-up. Added up
  // over the power-ups they compare with the world's truth, which counts
  // from the start of the run. A power-up shows as a row without the
  // globals (unpowered) or a total that went down.
  const TOTALS = ['distpb', 'distlpg', 'pbcons', 'lpgcons'];

  function SessionTotals() {
    this.base = [0, 0, 0, 0];
    this.last = [0, 0, 0, 0];
    this.broken = true;
  }
  SessionTotals.prototype.add = function (row) {
    const has = TOTALS.every((k) => typeof row[k] === 'number');
    if (!has) {
      this.broken = true;
      return null;
    }
    const fell = TOTALS.some((k, i) => row[k] < this.last[i]);
    if (this.broken || fell) {
      for (let i = 0; i < 4; ++i) this.base[i] += this.last[i];
    }
    for (let i = 0; i < 4; ++i) this.last[i] = row[TOTALS[i]];
    this.broken = false;
    return this.totals();
  };
  SessionTotals.prototype.totals = function () {
    const out = {};
    TOTALS.forEach((k, i) => { out[k] = this.base[i] + this.last[i]; });
    return out;
  };

  const w = (key) => (r) => (r.world ? r.world[key] : undefined);
  const g = (key) => (r) => r[key];
  const m = (key) => (r, totals) => (totals ? totals[key] : undefined);
  const percent = (key) => (r) => (typeof r[key] === 'number' ? r[key] * 100 : undefined);

  // What is drawn: one chart per entry; the unit's values in solid lines,
  // the truth dashed.
  const PLOTS = [
    {id: 'speed', title: 'Speed', y: 'km/h', series: [
      {label: 'unit: speed', get: g('speed'), color: '#1f77b4'},
      {label: 'true speed', get: w('speed_kmh'), color: '#ff7f0e', truth: true}]},
    {id: 'rpm', title: 'Engine speed', y: 'rev/min', series: [
      {label: 'unit: rpm', get: g('rpm'), color: '#1f77b4'},
      {label: 'true engine speed', get: w('rpm'), color: '#ff7f0e', truth: true}]},
    {id: 'consumption', title: 'Consumption', y: 'L/100 km, L/h', series: [
      {label: 'instcons (L/100 km)', get: g('instcons'), color: '#1f77b4'},
      {label: 'instconsph (L/h)', get: g('instconsph'), color: '#9467bd'},
      {label: 'avgpbcons (L/100 km)', get: g('avgpbcons'), color: '#2ca02c'},
      {label: 'avglpgcons (L/100 km)', get: g('avglpgcons'), color: '#d62728'}]},
    {id: 'tanks', title: 'Tank levels', y: 'litres', y2: 'unit level %', series: [
      {label: 'true petrol (l)', get: w('tank_petrol_l'), color: '#2ca02c', truth: true},
      {label: 'true LPG (l)', get: w('tank_lpg_l'), color: '#d62728', truth: true},
      {label: 'unit: pblvl (%)', get: percent('pblvl'), color: '#2ca02c', axis: 'y2'},
      {label: 'unit: lpglvl (%)', get: percent('lpglvl'), color: '#d62728', axis: 'y2'}]},
    {id: 'distance', title: 'Distance per fuel: measured and true', y: 'km', series: [
      {label: 'unit: petrol km', get: m('distpb'), color: '#2ca02c'},
      {label: 'true petrol km', get: w('distance_petrol_km'), color: '#2ca02c', truth: true},
      {label: 'unit: LPG km', get: m('distlpg'), color: '#d62728'},
      {label: 'true LPG km', get: w('distance_lpg_km'), color: '#d62728', truth: true}]},
    {id: 'fuel', title: 'Fuel used per fuel: measured and true', y: 'litres', series: [
      {label: 'unit: petrol l', get: m('pbcons'), color: '#2ca02c'},
      {label: 'true petrol l', get: w('fuel_petrol_l'), color: '#2ca02c', truth: true},
      {label: 'unit: LPG l', get: m('lpgcons'), color: '#d62728'},
      {label: 'true LPG l', get: w('fuel_lpg_l'), color: '#d62728', truth: true}]},
  ];

  function chartConfig(plot) {
    const scales = {
      x: {type: 'linear', title: {display: true, text: 'virtual time (s)'}},
      y: {title: {display: true, text: plot.y}},
    };
    if (plot.y2) {
      scales.y2 = {position: 'right', min: 0, max: 100, grid: {drawOnChartArea: false},
        title: {display: true, text: plot.y2}};
    }
    return {
      type: 'line',
      data: {datasets: plot.series.map((s) => ({
        label: s.label, data: [], borderColor: s.color, backgroundColor: s.color,
        borderDash: s.truth ? [6, 4] : [], borderWidth: 1.5, pointRadius: 0,
        yAxisID: s.axis || 'y', spanGaps: false,
      }))},
      options: {
        animation: false, parsing: false, normalized: true, responsive: true,
        maintainAspectRatio: false, interaction: {mode: 'nearest', axis: 'x', intersect: false},
        plugins: {title: {display: true, text: plot.title}, legend: {position: 'bottom'}},
        scales: scales,
      },
    };
  }

  // Every other point of a line, its last one kept.
  const thinned = (data) => data.filter((_, i) => i % 2 === 0 || i === data.length - 1);

  // Makes the charts inside `container`. options.maxPoints: keep at most
  // that many points per line, 0 keeping all; past it the oldest go, or
  // with options.thin every other point, so that a long session stays in
  // view whole at a coarser step.
  function create(container, options) {
    const maxPoints = (options && options.maxPoints) || 0;
    const thin = Boolean(options && options.thin);
    const totals = new SessionTotals();
    const charts = PLOTS.map((plot) => {
      const box = document.createElement('div');
      box.className = 'kp-chart';
      box.id = 'chart-' + plot.id;
      const canvas = document.createElement('canvas');
      box.appendChild(canvas);
      container.appendChild(box);
      return new global.Chart(canvas, chartConfig(plot));
    });
    container.setAttribute('data-kp-charts', String(charts.length));

    // Takes the rows in; they show at the next draw().
    function add(rows) {
      for (const row of rows) {
        const t = row.t;
        const measured = totals.add(row);
        PLOTS.forEach((plot, c) => {
          plot.series.forEach((s, i) => {
            const v = s.get(row, measured);
            const dataset = charts[c].data.datasets[i];
            dataset.data.push({x: t, y: typeof v === 'number' && isFinite(v) ? v : null});
            if (maxPoints > 0 && dataset.data.length > maxPoints) {
              if (thin) dataset.data = thinned(dataset.data);
              else dataset.data.splice(0, dataset.data.length - maxPoints);
            }
          });
        });
      }
    }

    function draw() {
      charts.forEach((ch) => ch.update('none'));
    }

    function push(rows) {
      add(rows);
      draw();
    }

    // Forgets every row: the charts start empty (a session started again).
    function reset() {
      Object.assign(totals, new SessionTotals());
      charts.forEach((ch) => {
        ch.data.datasets.forEach((d) => { d.data = []; });
      });
      draw();
    }

    return {add: add, draw: draw, push: push, reset: reset, charts: charts, totals: totals};
  }

  global.KpCharts = {create: create, SessionTotals: SessionTotals, PLOTS: PLOTS};
})(typeof window !== 'undefined' ? window : globalThis);
