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
    // Each run's time with its rank in the run, and the points, as the result lists give them.
    const ranked = (time, rank) => time + (rank ? " (" + rank + ")" : "");
    cell(tr, "res", r.result, r.time2 ? "1本目 " + ranked(r.time1, r.rank1) + "\n2本目 " +
                                        ranked(r.time2, r.rank2) : "");
    cell(tr, "gap", r.gap || "", r.points ? "P " + r.points + "\n計 " + r.finalPoints : "");
  });
  // Unofficial until the results are published, as the printed lists say.
  document.getElementById("official").textContent =
    !d.code ? "" : d.official ? "公式（発表 " + d.official + "）" : "非公式";
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
