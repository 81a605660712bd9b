'use strict';
// Chromium and the panel page for the browser tests and the bench.

const fs = require('fs');
const path = require('path');

const REPO = path.resolve(__dirname, '../..');
const DEPS = path.join(process.env.PORTOLAN_DEPS_DIR || path.join(REPO, '.deps'), 'node', 'node_modules');
const STAND_IN = path.join(REPO, 'sim', 'cep', 'adobe-cep.js');
const CHROMIUM = '/usr/bin/chromium';

function requireDep(name) {
    return require(path.join(DEPS, name));
}

function launch() {
    if (!fs.existsSync(CHROMIUM)) {
        throw new Error(`${CHROMIUM} is missing: the browser tests need Debian's chromium (scripts/setup)`);
    }
    const { chromium } = requireDep('playwright-core');
    return chromium.launch({
        executablePath: CHROMIUM,
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
            '--disable-background-networking', '--disable-component-update', '--disable-sync']
    });
}

// Opens the panel against a fake bridge; page errors are collected in page.errors.
// `init` is more script to run before the panel's own.
async function openPanel(browser, bridge, { width = 320, height = 560, theme = 'dark', init = '' } = {}) {
    const context = await browser.newContext({ viewport: { width, height } });
    context.setDefaultTimeout(8000);
    const page = await context.newPage();
    page.errors = [];
    page.on('pageerror', (e) => page.errors.push(e));
    const standIn = fs.readFileSync(STAND_IN, 'utf8');
    await page.addInitScript({
        content: `window.__PORTOLAN_BRIDGE__ = ${JSON.stringify(bridge.url)};\n${standIn}\n` +
            (theme !== 'dark' ? `window.__adobe_cep_stand_in__.setTheme(${JSON.stringify(theme)});\n` : '') +
            init
    });
    await page.goto(bridge.url + '/index.html');
    page.close = ((close) => async () => {
        await close.call(page);
        await context.close();
    })(page.close);
    return page;
}

function outputDir() {
    const dir = process.env.PORTOLAN_BROWSER_OUT || path.join(REPO, 'build', 'browser-tests');
    fs.mkdirSync(dir, { recursive: true });
    return dir;
}

module.exports = { REPO, DEPS, requireDep, launch, openPanel, outputDir };
