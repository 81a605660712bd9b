'use strict';
// The panel page in chromium against the running stack (panel-browser.sh starts it):
//   node panel-browser.js --set SET_ID --carlito FONT_ID --cantarell FONT_ID --conflicting FONT_ID
// Environment: E2E_BRIDGE (the bridge's address), E2E_DIR (the scenario's folder: transcripts,
// the core's configuration, screenshots), E2E_REPO, E2E_BIN and E2E_PREFIX (typehold-ctl under
// Wine). Each step checks the page and what happened behind it; the first failing step ends the
// run (exit 1), and the screenshots are taken in any case.
const fs = require('fs');
const path = require('path');
const { execFileSync, spawn } = require('child_process');
const { openPanel, nameDialog, addToQuery } = require('./browser/panel-page');

const env = (name) => {
    if (!process.env[name]) {
        throw new Error(`${name} is not set`);
    }
    return process.env[name];
};
const bridge = env('E2E_BRIDGE').replace(/\/?$/, '/');
const dir = env('E2E_DIR');
const repo = env('E2E_REPO');
const args = {};
for (let i = 2; i + 1 < process.argv.length; i += 2) {
    args[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
}
const setId = Number(args.set);
const carlitoId = Number(args.carlito);
const cantarellId = Number(args.cantarell);
const conflictingId = Number(args.conflicting); // a second Caladea-Regular, in the Archive workgroup

// --- Behind the page ------------------------------------------------------------------------------
const ctlArgs = (list) => [env('E2E_PREFIX'), path.join(env('E2E_BIN'), 'typehold-ctl.exe'), ...list];
const wineRun = path.join(repo, 'cmake', 'wine-run');
function ctl(...list) {
    return execFileSync(wineRun, ctlArgs(list), { encoding: 'utf8' }).replace(/\r/g, '');
}
// typehold-ctl smartlists: [{id, name, fonts: [IDs]}].
function smartLists() {
    return ctl('smartlists').split('\n').filter(Boolean).map((line) => {
        const [id, name, fonts] = line.split('\t');
        return { id: Number(id), name, fonts: fonts ? fonts.split(',').map(Number) : [] };
    });
}
// typehold-ctl fonts: ID -> PostScript name.
function catalog() {
    const names = new Map();
    for (const line of ctl('fonts').split('\n').filter(Boolean)) {
        const [id, name] = line.split('\t');
        names.set(Number(id), name);
    }
    return names;
}
function activeFonts() {
    const table = path.join(dir, 'Lumorand', 'config', 'system-font-table.txt');
    const text = fs.existsSync(table) ? fs.readFileSync(table, 'utf8') : '';
    return new Set(text.split('\n').map((line) => line.split('\t')[0].trim()).filter(Boolean));
}
// The plug-in's messages to the panel so far, as photoshop-sim recorded them.
function pluginMessages() {
    const transcript = fs.readFileSync(path.join(dir, 'photoshop.txt'), 'utf8');
    return [...transcript.matchAll(/^panel message \d+: \((.*)\)$/gm)].map((m) => JSON.parse(m[1]));
}
// What the bridge recorded of the page's events: the messages the panel sent.
function panelMessages() {
    const transcript = fs.readFileSync(path.join(dir, 'plugplug.txt'), 'utf8');
    return [...transcript.matchAll(/^bridge: panel event .* data "(.*)" posted$/gm)]
        .map((m) => JSON.parse(JSON.parse(`"${m[1]}"`)));
}
const panelRequests = () => panelMessages().map((m) => m.messageID);
// The file a file URL of the plug-in names ("file:///C:/...": the Wine prefix's drive C).
function urlFile(url) {
    const [, drive, rest] = /^file:\/\/\/?([A-Za-z]):(.*)$/.exec(url) || [];
    if (!drive) {
        throw new Error(`not a file URL of a drive: ${url}`);
    }
    return drive.toLowerCase() === 'z' ? rest : path.join(env('E2E_PREFIX'), 'drive_c', rest);
}
async function until(what, condition, timeoutMs = 15000) {
    const end = Date.now() + timeoutMs;
    let last;
    while (Date.now() < end) {
        last = await condition();
        if (last) {
            return last;
        }
        await new Promise((resolve) => setTimeout(resolve, 250));
    }
    throw new Error(`still not after ${timeoutMs} ms: ${what}`);
}
function expect(what, holds) {
    if (!holds) {
        throw new Error(what);
    }
}

// --- The page -----------------------------------------------------------------------------------
const rows = (page) => page.locator('#font-list [role="option"][data-font-id]');
const listOption = (page, name) =>
    page.locator('#smart-lists [role="option"][data-smart-list-id]', { hasText: name });
const sorted = (ids) => [...ids].sort((a, b) => a - b);
async function rowIds(page) {
    return sorted(await rows(page).evaluateAll((els) => els.map((el) => Number(el.dataset.fontId))));
}
const steps = [
    ['the handshake: the panel asks for its state, the plug-in answers, the status says so', async (page) => {
        await until('the panel sent 66 (its start-up) and 38 (the smart lists)',
            () => [66, 38].every((id) => panelRequests().includes(id)));
        await until('the plug-in answered with 20 and 38', () => [20, 38].every(
            (id) => pluginMessages().some((m) => m.messageID === id)));
        await page.waitForSelector('#status[data-enabled="true"][data-online="true"]');
        await until('the status line says enabled and online', async () => {
            const status = await page.textContent('#status');
            return /enabled/i.test(status) && /online/i.test(status);
        });
        expect('smart lists are shown before any was made',
            (await page.locator('#smart-lists [role="option"]').count()) === 0);
    }],
    ['a smart list created in the panel is one of the core\'s, and chosen', async (page) => {
        await nameDialog(page, '#smart-list-new', 'Headlines');
        const created = await until('the core has "Headlines"',
            () => smartLists().find((l) => l.name === 'Headlines'));
        const option = page.locator(`#smart-lists [role="option"][data-smart-list-id="${created.id}"]`);
        await option.waitFor();
        expect('the new list is not named in the panel', (await option.textContent()).includes('Headlines'));
        await option.click();
        await page.waitForSelector(`#smart-lists [data-smart-list-id="${created.id}"][aria-selected="true"]`);
    }],
    ['its query gets the Studio workgroup by ID: the Carlito fonts appear, with previews', async (page) => {
        await addToQuery(page, [['workgroup', 5]]);
        const list = await until('the core\'s query holds workgroup 5',
            () => smartLists().find((l) => l.name === 'Headlines' && l.fonts.length > 0));
        const names = catalog();
        expect(`the core's list is not the Carlito family: ${list.fonts.map((id) => names.get(id))}`,
            list.fonts.length === 4 && list.fonts.every((id) => /^Carlito/.test(names.get(id))));
        await until('the rows are the core\'s list',
            async () => JSON.stringify(await rowIds(page)) === JSON.stringify(sorted(list.fonts)));
        const loaded = page.locator('#font-list img.preview[data-loaded="true"]');
        await until('every row\'s preview loaded',
            async () => (await loaded.count()) === list.fonts.length, 30000);
        // The previews are the PNG files the core drew, read through the bridge.
        const sources = await loaded.evaluateAll((imgs) => imgs.map((img) => [img.src, img.naturalWidth]));
        expect(`a preview is not a host file: ${JSON.stringify(sources)}`,
            sources.every(([src, width]) => src.startsWith(`${bridge}host-file/file`) && width > 0));
        expect('no font-list file was sent', pluginMessages().some((m) => m.messageID === 41 && m.filename));
    }],
    ['a click on Carlito activates its family: the badge turns active, the core has it', async (page) => {
        const row = page.locator(`#font-list [role="option"][data-font-id="${carlitoId}"]`);
        expect('Carlito is active before the click', !activeFonts().has('Carlito') &&
            (await row.locator('.badge').getAttribute('data-state')) !== 'active');
        await row.click();
        await page.waitForSelector(`#font-list [data-font-id="${carlitoId}"] .badge[data-state="active"]`);
        expect('8 and 47 were not both sent', [8, 47].every((id) => panelRequests().includes(id)));
        const active = activeFonts();
        const family = ['Carlito', 'Carlito-Bold', 'Carlito-Italic', 'Carlito-BoldItalic'];
        expect(`the family is not active in the core: ${[...active].join(' ')}`,
            family.every((name) => active.has(name)));
        expect('24 did not carry the clicked font', pluginMessages().some((m) => m.messageID === 24 &&
            m.fontIDs.includes(carlitoId)));
    }],
    ['a set added by ID and the workgroup kept: the Cantarell fonts join the list', async (page) => {
        await addToQuery(page, [['set', setId]]);
        await until('the Cantarell row appears',
            () => page.locator(`#font-list [data-font-id="${cantarellId}"]`).count());
        const list = smartLists().find((l) => l.name === 'Headlines');
        expect(`the core's list lacks the set's fonts: ${list.fonts}`,
            list.fonts.length === 6 && list.fonts.includes(cantarellId) && list.fonts.includes(carlitoId));
        expect('the rows are not the core\'s list',
            JSON.stringify(await rowIds(page)) === JSON.stringify(sorted(list.fonts)));
    }],
    ['Home and Enter in the font list activate the first row\'s family', async (page) => {
        const first = page.locator('#font-list [role="option"][data-font-id]').first();
        const id = Number(await first.getAttribute('data-font-id'));
        const family = catalog().get(id).split('-')[0];
        const ofFamily = (names) => [...names].filter((name) => name.split('-')[0] === family);
        expect(`${family} is active before`, ofFamily(activeFonts()).length === 0);
        await page.focus('#font-list');
        await page.keyboard.press('Home');
        await page.keyboard.press('Enter');
        await page.waitForSelector(`#font-list [data-font-id="${id}"] .badge[data-state="active"]`);
        await until(`the core has ${family} active`,
            () => ofFamily(activeFonts()).length >= 2);
    }],
    ['every font-list file was read, then handed back with its exact URL and deleted', async () => {
        const sent = pluginMessages().filter((m) => m.messageID === 41 && m.filename).map((m) => m.filename);
        expect(`${sent.length} font-list files sent`, sent.length >= 2);
        await until('13 for every file sent', () => {
            const back = panelMessages().filter((m) => m.messageID === 13).map((m) => m.filename);
            return sent.every((url) => back.includes(url));
        });
        expect('the font-list files\' folder is not found',
            sent.every((url) => fs.existsSync(path.dirname(urlFile(url)))));
        await until('the files are gone', () => sent.every((url) => !fs.existsSync(urlFile(url))));
    }],
    ['a font the core refuses (a conflict) gets an error badge and the reason', async (page) => {
        await addToQuery(page, [['workgroup', 6]]);
        const row = page.locator(`#font-list [role="option"][data-font-id="${conflictingId}"]`);
        await row.waitFor();
        const message = async () => (await page.textContent('#message')).trim();
        expect('the message line speaks before any failure', (await message()) === '');
        await row.click();
        await page.waitForSelector(`#font-list [data-font-id="${conflictingId}"] .badge[data-state="error"]`);
        await until('the message line says why', async () => (await message()) !== '');
        expect('46 did not name the font as a conflict', pluginMessages().some(
            (m) => m.messageID === 46 && m.fontID === conflictingId && m.isConflictError === true));
        expect('the archived Caladea is active', !activeFonts().has('Caladea-Regular'));
    }],
    ['screenshots in Photoshop\'s dark and light themes', screenshots],
    ['renamed and deleted, in the core and in the panel', async (page) => {
        await nameDialog(page, '#smart-list-rename', 'Titles');
        await until('the core has "Titles"', () => smartLists().some((l) => l.name === 'Titles'));
        await listOption(page, 'Titles').waitFor();
        expect('the old name is still shown', (await listOption(page, 'Headlines').count()) === 0);
        await page.click('#smart-list-delete');
        await page.locator('#confirm-dialog').waitFor({ state: 'visible' });
        await page.click('#confirm-ok');
        await until('the core has no smart list', () => smartLists().length === 0);
        await until('the panel shows none', async () => (await listOption(page, 'Titles').count()) === 0);
    }],
    ['the web fonts switch turns them on in the core', async (page) => {
        const state = path.join(dir, 'Lumorand', 'config', 'typehold-state.plist');
        const enabled = () =>
            /<key>googleWebFontsEnabled<\/key>\s*<true\/>/.test(fs.readFileSync(state, 'utf8'));
        expect('web fonts are on before', !enabled() &&
            (await page.getAttribute('#web-fonts', 'aria-checked')) === 'false');
        await page.click('#web-fonts');
        await page.waitForSelector('#web-fonts[aria-checked="true"]');
        expect('9 was not sent', panelRequests().includes(9));
        await until('the core has web fonts on', enabled);
    }],
    ['a replication\'s progress bar moves, then goes', async (page) => {
        const replication = spawn(wineRun, ctlArgs(['replicate', 'bulk', '4', '700']), { stdio: 'ignore' });
        const ended = new Promise((resolve) => replication.on('exit', resolve));
        const bar = page.locator('#progress [data-progress-id="52"] progress');
        await bar.waitFor({ timeout: 20000 });
        const values = new Set();
        await until('the bar moved past its first step', async () => {
            const value = await bar.evaluate((el) => el.value).catch(() => null);
            if (value !== null) {
                values.add(value);
            }
            return values.size >= 2;
        }, 20000);
        expect('the bar does not count 4 steps', (await bar.evaluate((el) => el.max).catch(() => 4)) === 4);
        await page.locator('#progress [data-progress-id="52"]')
            .waitFor({ state: 'detached', timeout: 20000 });
        expect('typehold-ctl replicate failed', (await ended) === 0);
    }],
    ['no serious or critical accessibility violation', async (page) => {
        const axe = path.join(require.resolve('axe-core'), '..', 'axe.min.js');
        await page.addScriptTag({ path: axe });
        const result = await page.evaluate(() => window.axe.run(document));
        const bad = result.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical');
        expect(bad.map((v) => `${v.id} (${v.impact}): ${v.nodes.map((n) => n.target).join(' ')}`).join('; '),
            bad.length === 0);
    }],
    ['the core quits: the panel shows the services disabled', async (page) => {
        ctl('exit');
        await page.waitForSelector('#status[data-enabled="false"]');
        expect('the status line does not say so', /disabled/i.test(await page.textContent('#status')));
    }],
];

// The panel as it looks now, in the dark and the light theme (then dark again).
async function screenshots(page) {
    for (const theme of ['light', 'dark']) {
        await page.evaluate((name) => window.__adobe_cep_stand_in__.setTheme(name), theme);
        await page.waitForFunction((want) => document.documentElement.dataset.theme === want, theme,
            { timeout: 5000 });
        const file = path.join(dir, `panel-${theme}.png`);
        await page.screenshot({ path: file });
        console.log(`screenshot (${theme} theme): ${file}`);
    }
}

async function main() {
    const { browser, page, errors } = await openPanel(bridge, repo);
    let failed = false;
    try {
        for (const [name, step] of steps) {
            const started = Date.now();
            try {
                await step(page);
                console.log(`ok   ${name} (${Date.now() - started} ms)`);
            } catch (error) {
                console.log(`FAIL ${name}: ${error.message}`);
                failed = true;
                break;
            }
        }
        if (failed) {
            const file = path.join(dir, 'panel-failure.png');
            await page.screenshot({ path: file })
                .then(() => console.log(`screenshot at the failure: ${file}`), () => {});
        }
    } finally {
        await browser.close();
    }
    for (const error of errors) {
        console.log(error);
    }
    return failed || errors.length > 0 ? 1 : 0;
}

main().then((code) => process.exit(code), (error) => {
    console.log(`FAIL ${error.stack}`);
    process.exit(1);
});
