// The dashboard: polls the session's state, draws the displays when they
// change, sends every control as a scenario step and shows what the server
// refused.
"use strict";
const $ = id => document.getElementById(id);
const state = { version: 0, rows: 0, tft: 0, oled: 0, ignition: false, last: null };
// The charts keep a whole session: past 4000 points a line keeps every other one.
const plots = KpCharts.create($("plots"), { maxPoints: 4000, thin: true });

function showError(text) { $("error").textContent = text || ""; }

async function post(path, body) {
  const res = await fetch(path, { method: "POST", headers: { "Content-Type": "application/json" },
                                  body: JSON.stringify(body === undefined ? {} : body) });
  let answer = {};
  try { answer = await res.json(); } catch (e) { answer = { error: "the server answered " + res.status }; }
  if (!res.ok) { showError(answer.error || ("the server answered " + res.status)); return null; }
  showError("");
  return answer;
}
const command = step => post("/api/command", step);

// ---- the displays: a picture is fetched only when its number changed
async function draw(which, frame) {
  const res = await fetch("/api/" + which + ".png?n=" + frame, { cache: "no-store" });
  if (!res.ok) return;
  const bitmap = await createImageBitmap(await res.blob(), { colorSpaceConversion: "none", premultiplyAlpha: "none" });
  const canvas = $(which);
  const ctx = canvas.getContext("2d");
  ctx.imageSmoothingEnabled = false;
  ctx.drawImage(bitmap, 0, 0);
  canvas.dataset.frame = frame;
}

let plotDue = 0;
async function poll() {
  for (;;) {
    try {
      const res = await fetch("/api/state?v=" + state.version + "&rows=" + state.rows, { cache: "no-store" });
      const s = await res.json();
      if (s.generation !== state.generation) { plots.reset(); state.generation = s.generation; }  // started again
      state.version = s.version;
      state.rows = s.rows_end;
      state.last = s;
      if (s.rows.length) {
        plots.add(s.rows);
        const r = s.rows[s.rows.length - 1];
        if (r.world) setIgnition(r.world.ignition);
        document.body.dataset.menu = r.menu === undefined ? "" : r.menu;
        document.body.dataset.drawlumo = r.drawlumo === undefined ? "" : r.drawlumo;
        document.body.dataset.t = r.t;
      }
      if (s.tft_frame && s.tft_frame !== state.tft) { state.tft = s.tft_frame; await draw("tft", s.tft_frame); }
      if (s.oled_frame && s.oled_frame !== state.oled) { state.oled = s.oled_frame; await draw("oled", s.oled_frame); }
      const rate = s.rate.mode === "realtime" ? s.rate.factor + "× real time" : s.rate.mode;
      $("status").textContent = "t = " + s.t.toFixed(2) + " s · " + rate + " · " + s.speed_factor.toFixed(1) +
        "× · frames " + s.frames_sent + " · commands " + s.commands + (s.finished ? " · ended" : "");
      document.body.dataset.version = s.version;
      if (Date.now() > plotDue) { plots.draw(); plotDue = Date.now() + 500; }
    } catch (e) {
      $("status").textContent = "no connection to kp-sim serve";
      await new Promise(r => setTimeout(r, 1000));
    }
  }
}

function setIgnition(on) {
  state.ignition = on;
  $("ignition").textContent = on ? "ignition off" : "ignition on";
}

// ---- the encoder and the buttons, with the mouse
$("turn-left").onclick = () => command({ turn: -1 });
$("turn-right").onclick = () => command({ turn: 1 });
function holdable(button, kind) {
  let down = 0;
  button.addEventListener("mousedown", () => { down = performance.now(); });
  button.addEventListener("mouseup", () => {
    if (!down) return;
    const held = Math.max(0.1, (performance.now() - down) / 1000);  // a tap is a tenth of a second
    down = 0;
    command({ [kind]: Math.round(held * 1000) / 1000 });
  });
  button.addEventListener("mouseleave", () => { down = 0; });
}
holdable($("press"), "press");
for (const b of document.querySelectorAll("button.hold")) holdable(b, b.dataset.kind);

// ---- and with the keyboard: ← → turn, Enter or Space held is the button held
let keyDown = 0;
document.addEventListener("keydown", e => {
  if (e.target.tagName === "INPUT" || e.target.tagName === "SELECT") return;
  if (e.key === "ArrowLeft" || e.key === "ArrowRight") {
    e.preventDefault();
    command({ turn: e.key === "ArrowLeft" ? -1 : 1 });
  } else if ((e.key === "Enter" || e.key === " ") && !e.repeat) {
    e.preventDefault();
    keyDown = performance.now();
  }
});
document.addEventListener("keyup", e => {
  if ((e.key === "Enter" || e.key === " ") && keyDown) {
    e.preventDefault();
    const held = Math.max(0.1, (performance.now() - keyDown) / 1000);
    keyDown = 0;
    command({ press: Math.round(held * 1000) / 1000 });
  }
});

// ---- the car
const number = id => Number($(id).value);
$("ignition").onclick = () => command({ ignition: !state.ignition });
$("fuel-set").onclick = () => command({ fuel: $("fuel").value });
$("engine").onclick = () => command({ engine: { rpm: number("rpm"), petrol_ms: number("petrol-ms"), lpg_ms: number("lpg-ms") } });
$("speed").onclick = () => command({ speed: { kmh: number("kmh"), over: number("over") } });
$("gradient-set").onclick = () => command({ gradient: { percent: number("gradient"), over_m: number("gradient-over") } });
$("fill").onclick = () => command({ fill: { fuel: $("fill-fuel").value, litres: number("fill-litres") } });
$("fill-full").onclick = () => command({ fill: $("fill-fuel").value });
$("outside-set").onclick = () => command({ outside_temp: number("outside") });

// ---- faults
for (const b of document.querySelectorAll("button.thermo")) b.onclick = () => command({ thermometer: b.dataset.what });
$("supply-cut").onclick = () => command({ supply: false });
$("supply-back").onclick = () => command({ supply: true });
$("eeprom-stops").onclick = () => post("/api/eeprom-stops");
$("restart-no-oled").onclick = () => post("/api/restart", { oled_present: false });
$("restart").onclick = () => post("/api/restart", { oled_present: true });
$("raw-send").onclick = () => {
  let step;
  try { step = JSON.parse($("raw").value); } catch (e) { showError("not JSON: " + e.message); return; }
  command(step);
};

// ---- the run
$("rate-realtime").onclick = () => post("/api/rate", { mode: "realtime", factor: number("rate-factor") });
$("rate-fastest").onclick = () => post("/api/rate", { mode: "fastest" });
$("rate-pause").onclick = () => post("/api/rate", { mode: "paused" });
$("rate-step").onclick = () => post("/api/rate", { step: number("step-length") });
$("save").onclick = async () => {
  const a = await post("/api/save");
  if (a) $("saved").textContent = "saved " + a.file + " (" + a.steps + " steps, to " + a.at.toFixed(3) + " s)";
};
$("stop").onclick = () => post("/api/stop");

poll();
