// Times engine ticks in the browser: the saver runs flat out (every tick's
// wake-up is given at once, so nothing waits for the browser), first without
// handing out pixels (the engine alone), then with the frame converted for
// the canvas as the studio does. Warm-up ticks (the first full-screen present)
// are left out.
"use strict";

const WARM_UP = 30;

async function timeRun(engine, path, width, height, ticks, frames) {
  const stamps = [];
  engine.mod.onTick = (tick, wakeUp) => {
    stamps.push(performance.now());
    wakeUp(1);
  };
  engine.mod._sg_skip_until(0);
  await engine.mod.ccall("sg_play", "number", ["string", "number", "number", "number", "number", "number"],
                         [path, width, height, 0, ticks + WARM_UP, frames], { async: true });
  const timed = stamps.slice(WARM_UP - 1);
  const each = [];
  for (let i = 1; i < timed.length; ++i) each.push(timed[i] - timed[i - 1]);
  each.sort((a, b) => a - b);
  const mean = (timed[timed.length - 1] - timed[0]) / (timed.length - 1);
  return { ticks: each.length, meanMs: mean, medianMs: each[each.length >> 1], p95Ms: each[Math.floor(each.length * 0.95)] };
}

async function main() {
  const params = new URLSearchParams(location.search);
  const scene = params.get("scene") || "scenes/default.kavren";
  const [width, height] = (params.get("size") || "1920x1080").split("x").map(Number);
  const ticks = Number(params.get("ticks") || 1000);
  const engine = await Engine.load();
  const response = await fetch(scene);
  engine.write("/s/bench", new Uint8Array(await response.arrayBuffer()));
  const result = { scene, width, height };
  result.engine = await timeRun(engine, "/s/bench", width, height, ticks, 0);
  result.withFrame = await timeRun(engine, "/s/bench", width, height, ticks, 1);
  document.getElementById("result").textContent = JSON.stringify(result, null, 2);
  document.body.dataset.result = JSON.stringify(result);
}

main().catch((e) => { document.getElementById("result").textContent = String(e.stack || e); });
