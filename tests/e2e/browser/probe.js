#!/usr/bin/env node
// Browser probe for the end-to-end tests: drives headless Chromium and answers a small HTTP API
// on 127.0.0.1, so the test driver (a Windows program under Wine) can look at the web clock as a
// browser shows it.
//
//   node probe.js PORT
//
//   GET /open?url=URL&width=W&height=H  new page with that viewport, loaded          -> ok
//   GET /resize?width=W&height=H        new viewport, once the page has re-laid out   -> ok
//   GET /read                           what the page shows, one key=value a line
//   GET /eval?expr=JS                   String() of the expression's value in the page
//   GET /click?selector=CSS             a click on that element                       -> ok
//   GET /type?selector=CSS&text=T       that field emptied, then T typed into it      -> ok
//   GET /press?key=KEY                  a key (Enter, Escape, ...) on the focused one -> ok
//   GET /select?selector=CSS&value=V    that option chosen in a <select>, as a user   -> ok
//   GET /log                            the page's console errors and warnings so far
//   GET /screenshot                     a PNG of the viewport
//   GET /quit                           closes the browser and exits
//
// Answers are plain text: 200 on success, 500 with the error's text on failure. "probe ready"
// goes to stdout once the browser is up and the port listens. The probe ends when its standard
// input closes, on SIGTERM, SIGINT or SIGHUP, and on /quit, closing Chromium each time.
'use strict';

const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const CHROMIUM = '/usr/bin/chromium';
const ARGS = [
  '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync',
];
const REQUEST_TIMEOUT_MS = 30000;

const port = Number(process.argv[2]);
if (!Number.isInteger(port) || port < 1 || port > 65535) {
  process.stderr.write('usage: node probe.js PORT\n');
  process.exit(2);
}

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'vantorel-probe-'));
let browser = null;
let page = null;
let mobile = false;
let log = [];
const LOG_LINES = 1000;
let server = null;
let stopping = null;

function oneLine(value) {
  return String(value).replace(/[\r\n]+/g, ' ');
}

async function launch() {
  browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ARGS,
    userDataDir: profile,
    pipe: true,
    defaultViewport: null,
    // The probe closes Chromium itself, after answering what is in flight.
    handleSIGINT: false,
    handleSIGTERM: false,
    handleSIGHUP: false,
  });
  const launched = browser;
  launched.on('disconnected', () => {
    if (browser === launched) {
      browser = null;
      page = null;
    }
  });
}

function number(params, name) {
  const value = Number(params.get(name));
  if (!Number.isInteger(value) || value < 1 || value > 10000) {
    throw new Error(`${name} must be a whole number of CSS pixels`);
  }
  return value;
}

function viewport(width, height) {
  return { width, height, deviceScaleFactor: 1, isMobile: mobile, hasTouch: mobile };
}

function currentPage() {
  if (!page || page.isClosed()) throw new Error('no page: GET /open first');
  return page;
}

async function open(params) {
  const url = params.get('url');
  if (!url) throw new Error('url missing');
  const width = number(params, 'width');
  const height = number(params, 'height');
  if (page && !page.isClosed()) await page.close().catch(() => {});
  page = null;
  // Chromium may have gone away since the last test; a new one serves this one.
  if (!browser || !browser.connected) await launch();
  const fresh = await browser.newPage();
  page = fresh;
  log = [];
  const note = (line) => {
    if (log.length < LOG_LINES) log.push(line);
  };
  fresh.on('console', (message) => {
    const type = message.type();
    if (type === 'error' || type === 'warn' || type === 'assert') {
      const where = message.location() && message.location().url;
      note(`console.${type}: ${oneLine(message.text())}${where ? ` (${where})` : ''}`);
    }
  });
  fresh.on('pageerror', (error) => note(`pageerror: ${oneLine(error.message || error)}`));
  fresh.on('requestfailed', (request) => {
    const failure = request.failure();
    // The event stream is cut whenever the server goes away: that is what the tests do.
    if (!/\/events(\?|$)/.test(request.url())) {
      note(`requestfailed: ${request.url()} ${failure ? failure.errorText : ''}`);
    }
  });
  mobile = width < 800;
  await fresh.setViewport(viewport(width, height));
  try {
    await fresh.goto(url, { waitUntil: 'load', timeout: 20000 });
  } catch (error) {
    // Reads of Chromium's own error page would only mislead the next request.
    page = null;
    await fresh.close().catch(() => {});
    throw error;
  }
  return 'ok';
}

function frames(target) {
  return target.evaluate(
    () => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(() => done()))),
  );
}

async function resize(params) {
  const target = currentPage();
  // The mobile and touch flags stay as opened: changing them would reload the page.
  await target.setViewport(viewport(number(params, 'width'), number(params, 'height')));
  await frames(target);
  return 'ok';
}

async function read() {
  const target = currentPage();
  const values = await target.evaluate(() => {
    function hex(css) {
      const parts = String(css).match(/[\d.]+/g) || [];
      if (parts.length < 3) return '';
      return '#' + parts.slice(0, 3).map((part) => {
        const byte = Math.max(0, Math.min(255, Math.round(Number(part))));
        return (byte < 16 ? '0' : '') + byte.toString(16).toUpperCase();
      }).join('');
    }
    function transparent(css) {
      return css === 'transparent' || /^rgba\(.*,\s*0\)$/.test(css);
    }
    const root = document.documentElement;
    const body = document.body;
    const count = document.getElementById('count');
    const title = document.getElementById('title');
    const status = document.getElementById('status');
    const result = {};
    result.count = count ? count.textContent : '';
    result.ink = count ? hex(getComputedStyle(count).color) : '';
    let background = body ? getComputedStyle(body).backgroundColor : 'transparent';
    if (transparent(background)) background = getComputedStyle(root).backgroundColor;
    result.background = transparent(background) ? '#FFFFFF' : hex(background);
    result.title = title ? title.textContent : '';
    result.font = count ? getComputedStyle(count).fontFamily : '';
    let rect = { width: 0, left: 0, right: 0 };
    if (count) {
      const range = document.createRange();
      range.selectNodeContents(count);
      rect = range.getBoundingClientRect();
    }
    result.countWidth = Math.round(rect.width);
    result.countLeft = Math.round(rect.left);
    result.countRight = Math.round(rect.right);
    result.pageWidth = root.clientWidth;
    result.pageHeight = root.clientHeight;
    let shown = false;
    if (status) {
      const style = getComputedStyle(status);
      shown = style.display !== 'none' && style.visibility === 'visible' &&
        Number(style.opacity) > 0 && status.getClientRects().length > 0 &&
        (status.offsetParent !== null || style.position === 'fixed');
    }
    result.status = shown && status.textContent.trim() === 'Not connected' ? 'Not connected' : '';
    result.opacity = count ? getComputedStyle(count).opacity : '';
    const overflow = root.scrollWidth > root.clientWidth || root.scrollHeight > root.clientHeight ||
      (body && (body.scrollWidth > body.clientWidth || body.scrollHeight > body.clientHeight)) ||
      window.innerWidth > root.clientWidth || window.innerHeight > root.clientHeight;
    result.scroll = overflow ? 1 : 0;
    // Where the digits end and the control panel begins, so a test can tell they do not meet.
    result.countTop = Math.round(rect.top);
    result.countBottom = Math.round(rect.bottom);
    function visible(element) {
      return Boolean(element) && element.getClientRects().length > 0 &&
        getComputedStyle(element).visibility === 'visible';
    }
    const panel = document.getElementById('panel');
    result.panelTop = visible(panel) ? Math.round(panel.getBoundingClientRect().top) : root.clientHeight;
    result.controls = visible(document.getElementById('controls')) ? 1 : 0;
    result.pinField = visible(document.getElementById('pin')) ? 1 : 0;
    result.unlock = visible(document.getElementById('unlock')) ? 1 : 0;
    const message = document.getElementById('message');
    result.message = visible(message) ? message.textContent.trim() : '';
    for (const name of ['start', 'pause', 'stop', 'reset']) {
      const button = document.getElementById(name);
      result[name] = button ? (button.disabled ? 'disabled' : 'enabled') : '';
    }
    const view = document.getElementById('view');
    result.view = view ? view.value : '';
    result.fragment = location.hash;
    return result;
  });
  return Object.keys(values).map((key) => `${key}=${oneLine(values[key])}`).join('\n') + '\n';
}

async function evaluate(params) {
  const expr = params.get('expr');
  if (expr === null) throw new Error('expr missing');
  // Evaluated through DevTools, so the page's Content-Security-Policy does not forbid it.
  const handle = await currentPage().evaluateHandle(expr);
  try {
    return oneLine(await handle.evaluate((value) => String(value)));
  } finally {
    await handle.dispose().catch(() => {});
  }
}

async function click(params) {
  const selector = params.get('selector');
  if (!selector) throw new Error('selector missing');
  await currentPage().click(selector);
  return 'ok';
}

async function type(params) {
  const selector = params.get('selector');
  const text = params.get('text');
  if (!selector) throw new Error('selector missing');
  if (text === null) throw new Error('text missing');
  const target = currentPage();
  // Three clicks select what the field holds, so the typing replaces it.
  await target.click(selector, { clickCount: 3 });
  await target.keyboard.press('Backspace');
  await target.type(selector, text);
  return 'ok';
}

async function press(params) {
  const key = params.get('key');
  if (!key) throw new Error('key missing');
  await currentPage().keyboard.press(key);
  return 'ok';
}

async function select(params) {
  const selector = params.get('selector');
  const value = params.get('value');
  if (!selector) throw new Error('selector missing');
  if (value === null) throw new Error('value missing');
  const chosen = await currentPage().select(selector, value);
  if (!chosen.includes(value)) throw new Error(`no option ${value} in ${selector}`);
  return 'ok';
}

const routes = {
  '/open': open,
  '/resize': resize,
  '/read': read,
  '/eval': evaluate,
  '/click': click,
  '/type': type,
  '/press': press,
  '/select': select,
  '/log': async () => (log.length ? log.join('\n') + '\n' : ''),
  '/screenshot': async () => ({
    type: 'image/png',
    body: Buffer.from(await currentPage().screenshot()),
  }),
};

function withTimeout(promise, ms) {
  let timer;
  const limit = new Promise((_, fail) => {
    timer = setTimeout(() => fail(new Error(`no answer within ${ms} ms`)), ms);
  });
  return Promise.race([promise, limit]).finally(() => clearTimeout(timer));
}

// One request at a time: they share the one page.
let queue = Promise.resolve();

function answer(response, status, content) {
  if (response.headersSent) return;
  const binary = content && typeof content === 'object';
  response.writeHead(status, {
    'Content-Type': binary ? content.type : 'text/plain; charset=utf-8',
    'Cache-Control': 'no-store',
  });
  response.end(binary ? content.body : content);
}

function handle(request, response) {
  let url;
  try {
    url = new URL(request.url, 'http://127.0.0.1');
  } catch (error) {
    answer(response, 400, 'bad request\n');
    return;
  }
  if (request.method !== 'GET') {
    answer(response, 405, 'GET only\n');
    return;
  }
  if (url.pathname === '/quit') {
    answer(response, 200, 'ok');
    response.on('finish', () => stop(0));
    return;
  }
  const route = routes[url.pathname];
  if (!route) {
    answer(response, 404, `no such request: ${url.pathname}\n`);
    return;
  }
  queue = queue.then(async () => {
    if (stopping) throw new Error('the probe is stopping');
    return withTimeout(route(url.searchParams), REQUEST_TIMEOUT_MS);
  }).then(
    (text) => answer(response, 200, text),
    (error) => answer(response, 500, `${oneLine((error && error.message) || error)}\n`),
  );
}

function removeProfile() {
  try {
    fs.rmSync(profile, { recursive: true, force: true });
  } catch (error) {
    // Chromium may still be writing into it when killed; nothing else to do then.
  }
}

function killChromium() {
  const child = browser && browser.process();
  if (!child || child.exitCode !== null || child.signalCode !== null) return;
  // Chromium starts in its own process group: take its helpers with it.
  try {
    process.kill(-child.pid, 'SIGKILL');
  } catch (error) {
    try { child.kill('SIGKILL'); } catch (ignored) { /* already gone */ }
  }
}

function stop(code) {
  if (stopping) return stopping;
  stopping = (async () => {
    if (server) server.close();
    if (browser) {
      await withTimeout(browser.close(), 5000).catch(() => killChromium());
    }
    killChromium();
    removeProfile();
    process.exit(code);
  })();
  return stopping;
}

process.on('exit', () => {
  killChromium();
  removeProfile();
});
for (const signal of ['SIGTERM', 'SIGINT', 'SIGHUP']) process.on(signal, () => stop(0));
// One failing request or a stray event from Chromium never ends the probe.
function report(error) {
  process.stderr.write(`probe: ${(error && error.stack) || error}\n`);
}
process.on('uncaughtException', report);
process.on('unhandledRejection', report);

// The test driver holds our standard input open while it runs; when it goes, so do we. Started
// with /dev/null or a terminal as input, only the signals and /quit end the probe.
function watchStdin() {
  let stat;
  try {
    stat = fs.fstatSync(0);
  } catch (error) {
    return;
  }
  if (!stat.isFIFO() && !stat.isSocket()) return;
  process.stdin.on('data', () => {});
  process.stdin.on('end', () => stop(0));
  process.stdin.on('close', () => stop(0));
  process.stdin.on('error', () => stop(0));
  process.stdin.resume();
}

async function main() {
  watchStdin();
  await launch();
  server = http.createServer(handle);
  server.on('error', (error) => {
    process.stderr.write(`probe: cannot listen on 127.0.0.1:${port}: ${error.message}\n`);
    stop(1);
  });
  server.listen(port, '127.0.0.1', () => process.stdout.write('probe ready\n'));
}

main().catch((error) => {
  report(error);
  stop(1);
});
