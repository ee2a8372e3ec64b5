#include "demo/site.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/text.h"

namespace quorvex::demo {
namespace {

struct Field {
  std::string_view name;
  std::string value;
};

// One pass, so a value that happens to hold "{{NAME}}" is left as it is.
std::string Render(std::string_view page, const std::vector<Field>& fields) {
  std::string out;
  size_t at = 0;
  while (at < page.size()) {
    const size_t open = page.find("{{", at);
    if (open == std::string_view::npos) break;
    const size_t close = page.find("}}", open);
    if (close == std::string_view::npos) break;
    const std::string_view name = page.substr(open + 2, close - open - 2);
    out.append(page.substr(at, open - at));
    bool known = false;
    for (const Field& f : fields) {
      if (f.name == name) {
        out.append(f.value);
        known = true;
      }
    }
    if (!known) out.append(page.substr(open, close + 2 - open));
    at = close + 2;
  }
  out.append(page.substr(std::min(at, page.size())));
  return out;
}

constexpr std::string_view kStyle = R"(<style>
body { font-family: sans-serif; margin: 2em; max-width: 50em; }
th { text-align: left; padding-right: 1em; vertical-align: top; white-space: nowrap; }
td { font-family: monospace; word-break: break-all; }
button { margin-right: 0.5em; }
</style>)";

constexpr std::string_view kStartPage = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Quorvex demo exam site</title>
{{STYLE}}
</head>
<body>
<h1>Quorvex demo exam site</h1>
<p>This site stands in for an exam web site. The link below starts the Quorvex client with
a signed launch link; the client checks the computer and then opens the exam page.</p>
<p><a id="start" href="{{URL}}">Start exam</a></p>
<p>Launch link:</p>
<pre id="url">{{URL}}</pre>
</body>
</html>
)";

// Every observation goes to /report as one JSON object, so tests see what the page saw.
constexpr std::string_view kExamPage = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Demo exam {{EID}}</title>
{{STYLE}}
</head>
<body>
<h1>Demo exam <span id="eid">{{EID}}</span></h1>
<table>
<tr><th>Arguments</th><td id="args"></td></tr>
<tr><th>Raw query</th><td id="query">{{QUERY}}</td></tr>
<tr><th>User agent</th><td id="ua"></td></tr>
<tr><th>Secure context</th><td id="secure"></td></tr>
<tr><th>Client version</th><td id="version">-</td></tr>
<tr><th>Client id</th><td id="ornt">-</td></tr>
</table>
<p id="client">Checking for the Quorvex client...</p>
<p id="controls" hidden>
<button id="enter">Enter exam mode</button><button id="leave">Leave exam mode</button><button
id="finish">Finish exam</button><button id="confirm">Ask before submitting</button><button
id="stranger">Show another site's frame</button><button id="later">Enter exam mode in 2 s</button><button
id="sized">A small window</button><button id="upgrade">Upgrade the client</button>
</p>
<div id="frames"></div>
<p>
<a id="notes" href="/notes.html" target="_blank">Open notes</a> |
<a id="pdf" href="/files/sample.pdf">Sample PDF</a> |
<a id="txt" href="/files/sample.txt">Sample text (download)</a>
</p>
<p><label>Answer to question 1 <select id="answer"><option>A</option><option>B</option>
<option>C</option></select></label></p>
<ul class="links">
<li><a id="sheet" href="/files/Sheet.PDF" target="_blank">Formula sheet</a></li>
<li><a id="part2" href="#part-2">Part 2</a></li>
<li><a id="launch" href="tvqdx://invokedexam?eid=demo-2&amp;domain=127.0.0.1">Launch link</a></li>
<li><a id="closeaddr" href="tvqdx://closeBrowswer">Close</a></li>
<li><a id="closewrong" href="tvqdx://closeBROWSWER">Close (misspelt)</a></li>
<li><a id="mail" href="mailto:proctor@example.com">Mail</a></li>
<li><a id="deadpdf" href="http://127.0.0.1:9/files/gone.pdf" target="_blank">Unreachable PDF</a></li>
<li><a id="privatepdf" href="/files/private.pdf" target="_blank">Candidate's PDF</a></li>
</ul>
<p>Upload: <input type="file" id="upload"> <input type="file" id="uploads" multiple>
<input type="file" id="folder" webkitdirectory> <input type="file" id="images" accept="image/*">
</p>
<h2>Keys pressed</h2>
<p id="keys"></p>
<script>
'use strict';
const show = (id, value) => { document.getElementById(id).textContent = String(value); };
const query = location.search.slice(1);
const state = {
  eid: document.getElementById('eid').textContent,
  query: query,
  ua: navigator.userAgent,
  secure: window.isSecureContext,
  version: null,
  ornt: null,
  keys: [],
  url: location.href,
  args: (() => { try { return decodeURIComponent(query); } catch (e) { return query; } })(),
  width: window.innerWidth,
  height: window.innerHeight,
};
let seq = 0;
let sending = Promise.resolve();
// One report at a time, so the lines arrive in the order things happened.
function report(event) {
  // Where the answer list is, for tests that click it.
  const centre = (id) => {
    const box = document.getElementById(id).getBoundingClientRect();
    return [Math.round(box.x + box.width / 2), Math.round(box.y + box.height / 2)];
  };
  const at = {};
  for (const id of ['enter', 'sized', 'upgrade', 'notes', 'pdf', 'txt', 'sheet', 'part2', 'launch', 'closeaddr', 'closewrong',
                    'mail', 'deadpdf', 'privatepdf', 'upload', 'uploads', 'folder', 'images']) {
    at[id] = centre(id);
  }
  const body = JSON.stringify(Object.assign({}, state, {
    page: 'exam', event: event, seq: ++seq, answerAt: centre('answer'), at: at,
  }));
  sending = sending
    .then(() => fetch('/report', { method: 'POST', headers: { 'Content-Type': 'application/json' },
                                   body: body, keepalive: true }))
    .catch(() => {});
  return sending;
}
function bridgeCall(name) {
  try { return window.quorvex[name](); } catch (e) { return 'error: ' + e.message; }
}
function keyName(e) {
  const key = e.key === ' ' ? 'Space' : e.key;
  const mods = [[e.ctrlKey, 'Ctrl', 'Control'], [e.altKey, 'Alt', 'Alt'],
                [e.shiftKey, 'Shift', 'Shift'], [e.metaKey, 'Meta', 'Meta']];
  return mods.filter(([on, , own]) => on && key !== own).map(([, name]) => name + '+').join('') + key;
}
show('args', state.args);
show('query', state.query);
show('ua', state.ua);
show('secure', state.secure);
window.addEventListener('keydown', (e) => {
  state.keys.push(keyName(e));
  show('keys', state.keys.join(' '));
  report('key');
}, true);
// Reported without moving the keyboard focus (lists and fields aside, which need it), so that
// keys typed next keep their target.
window.addEventListener('mousedown', (e) => {
  if (!e.target.closest('select, input, textarea')) e.preventDefault();
  state.clicks = (state.clicks || 0) + 1;
  report('click');
}, true);
document.getElementById('answer').onchange = (e) => report('answer:' + e.target.value);
window.addEventListener('hashchange', () => report('hash:' + location.hash));
// The exam site's session: its own files are served only with it.
document.cookie = 'exam-session=granted; path=/';
// What each upload field was given: name and size of every file.
for (const id of ['upload', 'uploads', 'folder', 'images']) {
  document.getElementById(id).onchange = (e) => report('upload:' + id + ':' +
      Array.from(e.target.files).map((f) => f.name + '/' + f.size).join(','));
}
let resizeTimer = 0;
window.addEventListener('resize', () => {
  clearTimeout(resizeTimer);
  resizeTimer = setTimeout(() => {
    state.width = window.innerWidth;
    state.height = window.innerHeight;
    report('resize');
  }, 200);
});
// The client's script object may be added as late as document-ready, so look on load.
window.addEventListener('load', () => {
  if (typeof window.quorvex === 'object' && window.quorvex) {
    state.version = bridgeCall('GetVersion');
    state.ornt = bridgeCall('Ornt');
    show('version', state.version);
    show('ornt', state.ornt);
    show('client', 'Running inside the Quorvex client.');
    document.getElementById('controls').hidden = false;
    document.getElementById('enter').onclick = () => { bridgeCall('EnterFullscreen'); report('enter'); };
    document.getElementById('leave').onclick = () => { bridgeCall('ExitFullscreen'); report('leave'); };
    document.getElementById('upgrade').onclick = () => { bridgeCall('Upgrade'); report('upgrade'); };
    // The same server under another name is another site to the browser.
    document.getElementById('stranger').onclick = () => {
      const other = location.hostname === 'localhost' ? '127.0.0.1' : 'localhost';
      const frame = document.createElement('iframe');
      frame.src = location.protocol + '//' + other + ':' + location.port + '/stranger.html';
      document.getElementById('frames').appendChild(frame);
      report('stranger');
    };
    document.getElementById('sized').onclick = () => {
      window.open('/notes.html', '', 'left=10,top=20,width=50,height=60');
    };
    document.getElementById('later').onclick = () => {
      setTimeout(() => { bridgeCall('EnterFullscreen'); report('enter'); }, 2000);
    };
    document.getElementById('confirm').onclick = () => {
      report('confirm:' + window.confirm('Submit your answers now?'));
    };
    // Report first: the page goes away with the client.
    document.getElementById('finish').onclick = () => {
      report('finish').then(() => bridgeCall('Close'));
    };
  } else {
    show('client', 'This page is not inside the Quorvex client.');
  }
  report('load');
});
</script>
</body>
</html>
)";

constexpr std::string_view kNotesPage = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Demo notes</title>
{{STYLE}}
</head>
<body>
<h1>Demo notes</h1>
<p>A popup window opened from the exam page.</p>
<p>Client version here: <span id="version">-</span></p>
<p><input id="typed" size="40" title="Your note"></p>
<p><button id="again">Open another window</button> <button id="bye">Close this window</button></p>
<p><a id="notespdf" href="/files/Sheet.PDF" target="_blank">Formula sheet</a></p>
<p id="words">alpha beta gamma</p>
<script>
'use strict';
let version = null;
const report = (event) => {
  const at = {};
  for (const id of ['typed', 'again', 'bye', 'notespdf', 'words']) {
    const box = document.getElementById(id).getBoundingClientRect();
    at[id] = [Math.round(box.x + Math.min(box.width / 2, 20)), Math.round(box.y + box.height / 2)];
  }
  return fetch('/report', { method: 'POST', headers: { 'Content-Type': 'application/json' },
                            body: JSON.stringify({ page: 'notes', event: event, url: location.href,
                                                   ua: navigator.userAgent, version: version,
                                                   width: window.innerWidth, at: at }) })
    .catch(() => {});
};
document.getElementById('typed').addEventListener('input', (e) => report('typed:' + e.target.value));
document.getElementById('again').onclick = () => report('again:' + (window.open('/notes.html') !== null));
document.getElementById('bye').onclick = () => report('bye').then(() => window.close());
let resizeTimer = 0;
window.addEventListener('resize', () => {
  clearTimeout(resizeTimer);
  resizeTimer = setTimeout(() => report('resize'), 200);
});
let selectionTimer = 0;
document.addEventListener('selectionchange', () => {
  clearTimeout(selectionTimer);
  selectionTimer = setTimeout(() => report('selected:' + String(getSelection()).trim()), 200);
});
window.addEventListener('load', () => {
  if (typeof window.quorvex === 'object' && window.quorvex) {
    try { version = window.quorvex.GetVersion(); } catch (e) { version = 'error: ' + e.message; }
  }
  document.getElementById('version').textContent = String(version);
  report('load');
});
</script>
</body>
</html>
)";

constexpr std::string_view kNotFoundPage = R"(<!DOCTYPE html>
<html lang="en">
<head><meta charset="utf-8"><title>Not found</title></head>
<body><h1>404 Not found</h1><p>The demo exam site has no such page.</p></body>
</html>
)";

}  // namespace

std::string StartPage(std::string_view launch_url) {
  return Render(kStartPage, {{"STYLE", std::string(kStyle)}, {"URL", HtmlEscape(launch_url)}});
}

std::string ExamPage(std::string_view eid, std::string_view query) {
  return Render(
      kExamPage,
      {{"STYLE", std::string(kStyle)}, {"EID", HtmlEscape(eid)}, {"QUERY", HtmlEscape(query)}});
}

// Another site inside the exam page tries to command the client, as itself and with a made-up
// call, then says so.
constexpr std::string_view kStrangerPage = R"(<!DOCTYPE html>
<html lang="en">
<head><meta charset="utf-8"><title>Another site</title></head>
<body>
<p>Another site</p>
<script>
'use strict';
let tried = [];
if (typeof window.quorvex === 'object' && window.quorvex) {
  quorvex.ExitFullscreen();
  tried.push('ExitFullscreen');
}
if (typeof __quorvexNativeCall === 'function') {
  __quorvexNativeCall('ExitFullscreen');
  tried.push('made-up call');
}
fetch('/report', { method: 'POST', headers: { 'Content-Type': 'application/json' },
                   body: JSON.stringify({ page: 'stranger', event: 'tried', tried: tried }) });
</script>
</body>
</html>
)";

std::string StrangerPage() {
  return std::string(kStrangerPage);
}

std::string NotesPage() {
  return Render(kNotesPage, {{"STYLE", std::string(kStyle)}});
}

std::string NotFoundPage() {
  return std::string(kNotFoundPage);
}

std::string SamplePdf() {
  const std::string text = "BT /F1 24 Tf 72 760 Td (Quorvex demo sample) Tj ET";
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R"
      " /Resources << /Font << /F1 5 0 R >> >> >>",
      "<< /Length " + std::to_string(text.size()) + " >>\nstream\n" + text + "\nendstream",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
  };
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  char entry[32];
  for (size_t offset : offsets) {
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\n";
  pdf += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

std::string SampleText() {
  return "Quorvex demo sample file.\nIt is offered as a download.\n";
}

}  // namespace quorvex::demo
