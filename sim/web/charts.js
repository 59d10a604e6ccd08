// Plots of trace records (the objects of trace.jsonl's lines): each plot
// draws values of the firmware (measured) against those of the world (true).
"use strict";
const KpCharts = (() => {
  const num = v => (typeof v === "number" && isFinite(v)) ? v : null;
  const g = key => r => num(r[key]);
  const w = key => r => r.world ? num(r.world[key]) : null;
  const PLOTS = [
    { title: "speed (km/h)", series: [["true", w("speed_kmh")], ["unit", g("speed")]] },
    { title: "engine speed (rpm)", series: [["true", w("rpm")], ["unit", g("rpm")]] },
    { title: "consumption", series: [["now (l/h)", g("instconsph")], ["avg petrol (l/100 km)", g("avgpbcons")],
                                     ["avg LPG (l/100 km)", g("avglpgcons")]] },
    { title: "tanks (l, true) and levels (unit, 0..1 on the right)",
      series: [["petrol", w("tank_petrol_l")], ["LPG", w("tank_lpg_l")],
               ["petrol level", g("pblvl"), "y1"], ["LPG level", g("lpglvl"), "y1"]] },
    { title: "distance (km): measured against true",
      series: [["petrol true", w("distance_petrol_km")], ["petrol unit", g("distpb")],
               ["LPG true", w("distance_lpg_km")], ["LPG unit", g("distlpg")]] },
    { title: "fuel used (l): measured against true",
      series: [["petrol true", w("fuel_petrol_l")], ["petrol unit", g("pbcons")],
               ["LPG true", w("fuel_lpg_l")], ["LPG unit", g("lpgcons")]] },
  ];
  const COLOURS = ["#1565c0", "#e53935", "#2e7d32", "#f9a825", "#6a1b9a", "#00838f"];

  function create(container) {
    const charts = PLOTS.map(p => {
      const box = document.createElement("div");
      box.className = "plot";
      const canvas = document.createElement("canvas");
      box.appendChild(canvas);
      container.appendChild(box);
      const twoAxes = p.series.some(s => s[2] === "y1");
      const scales = { x: { type: "linear", title: { display: true, text: "t (s)" } }, y: { type: "linear" } };
      if (twoAxes) scales.y1 = { type: "linear", position: "right", min: 0, max: 1.05, grid: { drawOnChartArea: false } };
      return {
        plot: p,
        chart: new Chart(canvas, {
          type: "line",
          data: { datasets: p.series.map((s, i) => ({ label: s[0], data: [], yAxisID: s[2] || "y",
                    borderColor: COLOURS[i], pointRadius: 0, borderWidth: 1.5, spanGaps: false })) },
          options: { animation: false, parsing: false, normalized: true, maintainAspectRatio: false,
                     plugins: { title: { display: true, text: p.title } },
                     scales },
        }),
      };
    });
    // A long session keeps every other point once a series grows past MAX.
    const MAX = 4000;
    const thin = a => a.filter((_, i) => i % 2 === 0 || i === a.length - 1);
    return {
      add(rows) {
        for (const c of charts)
          c.plot.series.forEach((s, i) => {
            let data = c.chart.data.datasets[i].data;
            for (const r of rows) data.push({ x: r.t, y: s[1](r) });
            if (data.length > MAX) c.chart.data.datasets[i].data = thin(data);
          });
      },
      clear() { for (const c of charts) for (const d of c.chart.data.datasets) d.data = []; },
      draw() { for (const c of charts) c.chart.update("none"); },
    };
  }
  return { create, PLOTS };
})();
