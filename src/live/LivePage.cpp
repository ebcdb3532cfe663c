#include "LivePage.h"

namespace pistel::live {

QByteArray livePage() {
    return QByteArrayLiteral(R"HTML(<!DOCTYPE html>
<html lang="ja">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>速報</title>
<style>
  body { margin: 0; font-family: "Noto Sans CJK JP", "Hiragino Sans", sans-serif;
         background: #f4f7fb; color: #111; }
  header { background: #0b3d91; color: #fff; padding: 8px 10px; }
  h1 { font-size: 18px; margin: 0; }
  #class { font-size: 15px; margin-top: 2px; }
  #message { background: #fff3c4; padding: 6px 10px; font-size: 15px; white-space: pre-wrap; }
  #message:empty { display: none; }
  table { width: 100%; border-collapse: collapse; table-layout: fixed; background: #fff; }
  th, td { padding: 5px 4px; border-bottom: 1px solid #dde; font-size: 14px;
           overflow-wrap: anywhere; vertical-align: top; }
  th { background: #e8eef8; font-size: 12px; text-align: left; }
  .rank { width: 2.2em; text-align: right; font-weight: bold; }
  .bib { width: 2.6em; }
  .res { width: 6.4em; text-align: right; font-variant-numeric: tabular-nums; }
  .gap { width: 4.6em; text-align: right; color: #333; font-size: 13px; }
  .sub { display: block; color: #333; font-size: 12px; white-space: pre-line; }
  .run { width: 5.4em; text-align: right; font-variant-numeric: tabular-nums; font-weight: bold; }
  tr.latest td { background: #ffe28a; transition: background 1s; }
  #empty { padding: 12px; color: #333; }
  h2 { font-size: 15px; margin: 12px 10px 4px; }
  #choice { margin-top: 6px; width: 100%; font-size: 15px; }
  .sr { position: absolute; width: 1px; height: 1px; overflow: hidden; clip: rect(0 0 0 0); }
</style>
</head>
<body>
<header><h1 id="title">速報</h1><div id="class"></div>
<label for="choice" class="sr">大会とクラス</label>
<select id="choice"><option value="">本部が表示中のクラス</option></select></header>
<div id="message" role="status"></div>
<div id="news" class="sr" aria-live="polite"></div>
<section id="course" hidden>
<h2 id="courseTitle">コース上</h2>
<table aria-labelledby="courseTitle">
  <thead><tr><th scope="col" class="bib">No</th><th scope="col">氏名・所属</th>
  <th scope="col" class="run">走行中</th></tr></thead>
  <tbody id="courserows"></tbody>
</table>
</section>
<section id="next" hidden>
<h2 id="nextTitle">次のスタート</h2>
<table aria-labelledby="nextTitle">
  <thead><tr><th scope="col" class="bib">No</th><th scope="col">氏名・所属</th></tr></thead>
  <tbody id="nextrows"></tbody>
</table>
</section>
<h2 id="rowsTitle">順位</h2>
<table aria-labelledby="rowsTitle">
  <thead><tr><th scope="col" class="rank">順位</th><th scope="col" class="bib">No</th>
  <th scope="col">氏名・所属</th><th scope="col" class="res">タイム</th>
  <th scope="col" class="gap">差</th></tr></thead>
  <tbody id="rows"></tbody>
</table>
<div id="empty">まだ結果はありません</div>
<section id="run1" hidden>
<h2 id="run1Title">１本目の順位</h2>
<table aria-labelledby="run1Title">
  <thead><tr><th scope="col" class="rank">順位</th><th scope="col" class="bib">No</th>
  <th scope="col">氏名・所属</th><th scope="col" class="res">１本目</th>
  <th scope="col" class="gap">差</th></tr></thead>
  <tbody id="run1rows"></tbody>
</table>
</section>
<section id="out" hidden>
<h2 id="outTitle">欠場・途中棄権・失格</h2>
<table aria-labelledby="outTitle">
  <thead><tr><th scope="col" class="bib">No</th><th scope="col">氏名・所属</th>
  <th scope="col" class="res">本目</th><th scope="col" class="gap">状態</th></tr></thead>
  <tbody id="outrows"></tbody>
</table>
</section>
<script>
let shown = -1, latestShown = "";
// The chosen competition and class live in the address, so a link can be shared.
const params = new URLSearchParams(location.search);
let chosen = params.get("code") ? params.get("code") + "/" + (params.get("class") || "") : "";
function dataUrl() {
  if (!chosen) return "data";
  const [code, cls] = chosen.split("/");
  return "data?code=" + encodeURIComponent(code) + "&class=" + encodeURIComponent(cls);
}
async function loadChoices() {
  try {
    const races = await (await fetch("races", {cache: "no-store"})).json();
    const select = document.getElementById("choice");
    // The competition heads its group and the closed box shows only the class, so a long
    // title never pushes the class out of a phone's width (the title is the page's heading).
    for (const race of races) {
      const group = document.createElement("optgroup");
      group.label = race.title;
      for (const c of race.classes) {
        const o = document.createElement("option");
        o.value = race.code + "/" + c.code;
        o.textContent = c.name;
        o.title = race.title + " " + c.name;
        group.appendChild(o);
      }
      select.appendChild(group);
    }
    select.value = chosen;
  } catch (e) { /* the choice stays as it is; the results still come */ }
}
document.getElementById("choice").addEventListener("change", (e) => {
  chosen = e.target.value;
  const [code, cls] = chosen.split("/");
  history.replaceState(null, "", chosen ? "?code=" + encodeURIComponent(code) + "&class=" +
                                          encodeURIComponent(cls) : location.pathname);
  shown = -1;
  poll(true);
});
function cell(row, cls, text, sub) {
  const td = document.createElement("td");
  if (cls) td.className = cls;
  td.appendChild(document.createTextNode(text));
  if (sub) {
    const s = document.createElement("span");
    s.className = "sub";
    s.textContent = sub;
    td.appendChild(s);
  }
  row.appendChild(td);
}
// The server's clock minus the phone's, from the Date of each answer (whole seconds, set when
// it was sent, by a cache in front too). It was sent before it arrived and its fraction of a
// second is cut off, so each answer gives a lower bound: the largest of the recent ones is the
// closest, as polls fall at different fractions of the server's second.
const offsets = [];
function learnClock(serverNow, receivedAt) {
  offsets.push(serverNow - receivedAt);
  if (offsets.length > 30) offsets.shift();
}
function serverNow() {
  return Date.now() + (offsets.length ? Math.max(...offsets) : 0);
}
function runningText(ms) {
  const tenths = Math.max(0, Math.floor(ms / 100));
  const s = Math.floor(tenths / 10), m = Math.floor(s / 60);
  return (m ? m + ":" + String(s % 60).padStart(2, "0") : String(s)) + "." + (tenths % 10);
}
function tick() {
  for (const td of document.querySelectorAll("#courserows td.run"))
    td.textContent = runningText(serverNow() - Number(td.dataset.started));
}
setInterval(tick, 100);
let announced = "";
// Replaces a table's rows, one for each of `rows`; its section shows only with rows in it.
function fill(bodyId, sectionId, rows, cells) {
  const body = document.getElementById(bodyId);
  body.replaceChildren();
  for (const r of rows) {
    const tr = document.createElement("tr");
    cells(tr, r);
    body.appendChild(tr);
  }
  if (sectionId) document.getElementById(sectionId).hidden = rows.length === 0;
}
function who(tr, r) {
  cell(tr, "bib", r.bib);
  cell(tr, "", r.name || ("No." + r.bib), r.team);
}
const statusName = {DNS: "欠場 DNS", DNF: "途中棄権 DNF", DSQ: "失格 DSQ"};
function draw(d) {
  document.getElementById("title").textContent = d.title || (d.code ? d.code : "速報");
  document.getElementById("class").textContent = d.class ? "クラス " + d.class : "";
  document.getElementById("message").textContent = d.message || "";
  fill("courserows", "course", d.course || [], (tr, r) => {
    who(tr, r);
    cell(tr, "run", "");
    tr.lastChild.dataset.started = r.started;
  });
  tick();
  fill("nextrows", "next", d.next || [], who);
  fill("rows", "", d.results, (tr, r) => {
    if (r.bib === d.latest) tr.className = "latest";
    tr.dataset.bib = r.bib;
    cell(tr, "rank", r.rank ? String(r.rank) : "");
    who(tr, r);
    cell(tr, "res", r.result, r.time2 ? "1本目 " + r.time1 + "\n2本目 " + r.time2 : "");
    cell(tr, "gap", r.gap || "");
  });
  document.getElementById("empty").style.display = d.results.length ? "none" : "block";
  fill("run1rows", "run1", d.run1 || [], (tr, r) => {
    cell(tr, "rank", String(r.rank));
    who(tr, r);
    cell(tr, "res", r.result);
    cell(tr, "gap", r.gap || "");
  });
  fill("outrows", "out", d.out || [], (tr, r) => {
    who(tr, r);
    cell(tr, "res", r.run + "本目");
    cell(tr, "gap", statusName[r.status] || r.status);
  });
  // A screen reader hears the latest finisher once, not the whole table again.
  const latest = d.results.find(r => r.bib === d.latest);
  if (latest && latest.bib !== announced) {
    announced = latest.bib;
    document.getElementById("news").textContent = "ゴール No." + latest.bib + " " +
      (latest.name || "") + " " + latest.result + (latest.rank ? " " + latest.rank + "位" : "");
  }
}
let timer = null, generation = 0;
async function poll(now) {
  // A new choice starts a new round of polling; an answer of the old round is dropped.
  if (now) { clearTimeout(timer); ++generation; }
  const mine = generation;
  try {
    // Revalidated each time: an unchanged answer costs a 304 without a body.
    const reply = await fetch(dataUrl(), {cache: "no-cache"});
    const sent = Date.parse(reply.headers.get("Date") || "");
    if (!isNaN(sent)) learnClock(sent, Date.now());
    const d = await reply.json();
    if (mine !== generation) return;
    if (d.version !== shown || d.latest !== latestShown) {
      shown = d.version;
      latestShown = d.latest;
      draw(d);
    }
  } catch (e) { /* the next poll tries again */ }
  if (mine === generation) timer = setTimeout(poll, 700);
}
loadChoices();
poll();
</script>
</body>
</html>
)HTML");
}

} // namespace pistel::live
