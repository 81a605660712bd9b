'use strict';
// The panel in Chromium, with the host object's stand-in and a fake bridge and plug-in behind it.

const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const { after, before, describe, test } = require('node:test');
const { startFakeBridge, EXTENSION_DIR } = require('./fake-bridge');
const { DEPS, launch, openPanel, outputDir } = require('./harness');

let browser;
before(async () => {
    browser = await launch();
});
after(async () => {
    await browser.close();
});

// A fake bridge and the panel on it, both closed after fn; page errors fail the test.
async function withPanel(options, fn) {
    const bridge = await startFakeBridge(options.bridge);
    const page = await openPanel(browser, bridge, options.page);
    try {
        await page.waitForSelector('#font-list [role=option]');
        await fn(page, bridge);
        assert.deepEqual(page.errors.map(String), [], 'no page errors');
        assert.equal(await page.evaluate(() => window.LumorandPanel.faults()), 0, 'no handler failed');
    } finally {
        await page.close();
        await bridge.close();
    }
}

function rows(page) {
    return page.$$eval('#font-list [role=option]', (els) => els.map((el) => ({
        id: Number(el.dataset.fontId),
        name: el.querySelector('.font-name').textContent,
        state: el.querySelector('.badge').dataset.state,
        src: el.querySelector('img.preview').getAttribute('src'),
        loaded: el.querySelector('img.preview').dataset.loaded === 'true',
        top: el.getBoundingClientRect().top
    })).sort((a, b) => a.top - b.top));
}

// Every preview in the DOM has loaded.
function allPreviewsLoaded() {
    return [...document.querySelectorAll('#font-list img.preview')].every((i) => i.dataset.loaded === 'true');
}

function waitForText(page, selector, pattern) {
    return page.waitForFunction(([s, p]) => new RegExp(p).test(document.querySelector(s).textContent),
        [selector, pattern.source]);
}

function badge(page, id) {
    return page.getAttribute(`#font-list [data-font-id="${id}"] .badge`, 'data-state');
}

async function waitForBadge(page, id, state) {
    await page.waitForSelector(`#font-list [data-font-id="${id}"] .badge[data-state="${state}"]`);
}

function sentTo(bridge, id) {
    return bridge.sent.map((s) => s.event.data).filter((d) => d.includes(`"messageID":${id}`));
}

describe('start-up', () => {
    test('handshake, the stored smart list from its file, the file deleted, previews shown', async () => {
        await withPanel({ bridge: { fonts: 60, selection: 2 } }, async (page, bridge) => {
            const ids = bridge.received.map((m) => m.messageID);
            assert.equal(ids[0], 66);
            assert.deepEqual(ids.slice(0, 7).sort((a, b) => a - b), [10, 11, 16, 18, 38, 58, 66]);
            assert.deepEqual(await page.evaluate(() => window.__adobe_cep_stand_in__.size()),
                { width: 300, height: 520 });

            const lists = await page.$$eval('#smart-lists [role=option]', (els) =>
                els.map((e) => [e.dataset.smartListId, e.textContent, e.getAttribute('aria-selected')]));
            assert.deepEqual(lists,
                [['1', 'All fonts', 'false'], ['2', 'Posters', 'true'], ['3', 'Books', 'false']]);
            assert.equal((await bridge.waitFor((m) => m.messageID === 40)).smartListID, 2);

            const shown = await rows(page);
            const expected = bridge.fonts.filter((f) => f.id % 10 === 2);
            assert.deepEqual(shown.map((r) => [r.id, r.name]), expected.map((f) => [f.id, f.name]));
            assert.deepEqual(shown.map((r) => r.state),
                expected.map((f) => (f.activated ? 'active' : 'inactive')));

            // The file is deleted with exactly the URL the plug-in sent.
            const url = JSON.parse(sentTo(bridge, 41)[0].slice(1, -1)).filename;
            assert.equal((await bridge.waitFor((m) => m.messageID === 13)).filename, url);
            assert.deepEqual(bridge.deleted, [url]);

            const ask = await bridge.waitFor((m) => m.messageID === 32);
            assert.equal(ask.smartListID, 2);
            assert.deepEqual([...ask.highPriorityFontIDs].sort((a, b) => a - b), expected.map((f) => f.id));
            await page.waitForFunction(allPreviewsLoaded);
            const src = (await rows(page))[0].src;
            assert.equal(decodeURIComponent(src.slice(`${bridge.url}/host-file/`.length)),
                'file://C:/Users/Designer/AppData/Local/Temp/Lumorand/preview-2.png');

            const interest = await page.evaluate(() => window.__adobe_cep_stand_in__.keyInterest());
            const keys = interest.map((k) => k.keyCode);
            for (const k of [9, 13, 27, 32, 33, 34, 35, 36, 37, 38, 39, 40]) {
                assert.ok(keys.includes(k), `key ${k} registered`);
            }

            const before12 = bridge.received.length;
            await page.setViewportSize({ width: 410, height: 600 });
            const resized = await bridge.waitFor((m) => m.messageID === 12, { after: before12 });
            assert.deepEqual([resized.windowWidth, resized.windowHeight], [410, 600]);
        });
    });

    test('a long list keeps few rows; rows scrolled into view get their previews first', async () => {
        const bridgeOptions = { fonts: 3000, selection: 1, answerLowPriority: false };
        await withPanel({ bridge: bridgeOptions }, async (page, bridge) => {
            const first = await bridge.waitFor((m) => m.messageID === 32);
            assert.ok(first.highPriorityFontIDs.length > 0 && first.highPriorityFontIDs.length < 30);
            assert.equal(first.highPriorityFontIDs.length + first.fontIDs.length, 3000);
            assert.ok((await rows(page)).length < 80, 'rows in the DOM');
            assert.equal(await page.getAttribute('#font-list [role=option]', 'aria-setsize'), '3000');

            const asked = bridge.received.length;
            await page.$eval('#font-list', (el) => {
                el.scrollTop = el.scrollHeight;
            });
            await page.waitForSelector('#font-list [data-font-id="3000"] img.preview[data-loaded="true"]');
            const later = await bridge.waitFor((m) => m.messageID === 32, { after: asked });
            assert.ok(later.highPriorityFontIDs.includes(3000));
            assert.deepEqual(later.fontIDs, []);
            assert.ok((await rows(page)).length < 80, 'rows in the DOM after scrolling');

            // The query form of the font list names the fonts it already knows.
            bridge.send({ messageID: 41, smartListID: 1, fontIDs: [5, 7, 99999] });
            await page.waitForSelector('#font-list [data-font-id="99999"]');
            assert.deepEqual((await rows(page)).map((r) => r.name),
                [bridge.fontById.get(5).name, bridge.fontById.get(7).name, 'Font 99999']);
        });
    });
});

describe('activation', () => {
    test('a click asks for the family; notifications and failures show on the badges', async () => {
        await withPanel({ bridge: { fonts: 60, selection: 2 } }, async (page, bridge) => {
            const version = fs.readFileSync(path.join(EXTENSION_DIR, 'CSXS', 'manifest.xml'), 'utf8')
                .match(/ExtensionBundleVersion="([^"]+)"/)[1];
            const font = bridge.fontById.get(2);
            assert.equal(await badge(page, 2), 'inactive');
            await page.click('#font-list [data-font-id="2"]');
            const activate = await bridge.waitFor((m) => m.messageID === 8);
            assert.deepEqual([activate.fontID, activate.postscriptName, activate.displayName],
                [2, font.postscriptName, font.name]);
            const click = await bridge.waitFor((m) => m.messageID === 47);
            assert.deepEqual([click.fontID, click.version], [2, version]);
            await waitForBadge(page, 2, 'active'); // the fake sends 24 for the family

            bridge.conflicts.set(22, 42);
            await page.click('#font-list [data-font-id="22"]');
            await waitForBadge(page, 22, 'error');
            const alert = await page.textContent('[role=alert]#message');
            assert.match(alert, /conflicts/);
            assert.ok(alert.includes(bridge.fontById.get(22).name), alert);
            assert.ok(alert.includes(bridge.fontById.get(42).name), alert);

            bridge.send({ messageID: 46, fontID: 32, isConflictError: false });
            await waitForBadge(page, 32, 'error');
            assert.doesNotMatch(await page.textContent('#message'), /conflicts/);

            bridge.send({ messageID: 25, fontIDs: [2] });
            bridge.send({ messageID: 45, fontIDs: [12] });
            bridge.send({ messageID: 60, fontIDs: [42, 52] });
            await waitForBadge(page, 2, 'inactive');
            await waitForBadge(page, 12, 'missing');
            await waitForBadge(page, 52, 'noncompliant');
            assert.equal(await badge(page, 42), 'noncompliant');
        });
    });
});

describe('smart lists', () => {
    test('create, rename, edit the query and delete through the dialogs', async () => {
        await withPanel({ bridge: { fonts: 60, selection: 2 } }, async (page, bridge) => {
            // Escape leaves the name dialog without creating anything.
            await page.click('#smart-list-new');
            await page.waitForSelector('#name-dialog[role=dialog]:not([hidden])');
            await page.keyboard.press('Escape');
            await page.waitForSelector('#name-dialog', { state: 'hidden' });

            await page.click('#smart-list-new');
            await page.fill('#name-input', 'Sans only');
            await page.click('#name-ok');
            assert.equal((await bridge.waitFor((m) => m.messageID === 39)).smartListName, 'Sans only');
            assert.equal(bridge.messages(39).length, 1);
            await page.waitForSelector('#smart-lists [data-smart-list-id="10"][aria-selected="true"]');
            assert.equal((await bridge.waitFor((m) => m.messageID === 17)).selection, 10);
            await bridge.waitFor((m) => m.messageID === 40 && m.smartListID === 10);

            await page.click('#smart-list-rename');
            assert.equal(await page.inputValue('#name-input'), 'Sans only');
            await page.fill('#name-input', 'Sans faces');
            await page.press('#name-input', 'Enter');
            const rename = await bridge.waitFor((m) => m.messageID === 44);
            assert.deepEqual([rename.smartListID, rename.smartListName], [10, 'Sans faces']);
            await page.waitForSelector('#smart-lists [data-smart-list-id="10"]:text-is("Sans faces")');

            // The query of "Books": set 3 and smart set 1, named from the tree text.
            await page.click('#smart-lists [data-smart-list-id="3"]');
            await bridge.waitFor((m) => m.messageID === 40 && m.smartListID === 3);
            await page.click('#smart-list-query');
            const box = (kind, id) =>
                `#query-dialog input[type=checkbox][data-kind="${kind}"][data-id="${id}"]`;
            await page.waitForSelector(box('set', 3) + ':checked');
            assert.ok(await page.isChecked(box('smartset', 1)));
            assert.match(await page.textContent('#query-members'), /Book fonts[\s\S]*Garamonds/);
            await page.uncheck(box('smartset', 1));
            await page.selectOption('#query-add-kind', 'set');
            await page.fill('#query-add-id', '2');
            await page.click('#query-add');
            assert.ok(await page.isChecked(box('set', 2)));
            const filesBefore = bridge.deleted.length;
            await page.click('#query-ok');
            const query = await bridge.waitFor((m) => m.messageID === 42);
            assert.deepEqual([query.smartListID, query.workgroupIDs, query.setIDs, query.smartSetIDs],
                [3, [], [3, 2], []]);
            await page.waitForSelector('#font-list [data-font-id="2"]');
            assert.ok((await rows(page)).every((r) => r.id % 10 === 2 || r.id % 10 === 3));
            await bridge.waitFor((m) => m.messageID === 13 && m.filename === bridge.deleted[filesBefore]);

            // Another list's dialog offers the members named in the trees seen before, unchecked.
            await page.click('#smart-lists [data-smart-list-id="10"]');
            await page.click('#smart-list-query');
            await page.waitForSelector(box('set', 3));
            assert.equal(await page.isChecked(box('set', 3)), false);
            await page.click('#query-cancel');

            await page.click('#smart-list-delete');
            await page.waitForSelector('#confirm-dialog:not([hidden])');
            const beforeDelete = bridge.received.length;
            await page.click('#confirm-ok');
            assert.equal((await bridge.waitFor((m) => m.messageID === 34)).smartListID, 10);
            await bridge.waitFor((m) => m.messageID === 38, { after: beforeDelete });
            await page.waitForSelector('#smart-lists [data-smart-list-id="10"]', { state: 'detached' });
            assert.equal(await page.$$eval('#smart-lists [role=option]', (els) => els.length), 3);
        });
    });
});

describe('state and progress', () => {
    test('progress bars move and go; enabled, online, workgroup and web font states show', async () => {
        await withPanel({ bridge: { fonts: 30, selection: 1 } }, async (page, bridge) => {
            const bar = (id) => `#progress [data-progress-id="${id}"]`;
            bridge.send({ messageID: 52, text: 'Synchronising fonts', stepIndex: 1, numSteps: 4 });
            bridge.send({ messageID: 28, text: 'Copying', stepIndex: 2, numSteps: 13 });
            await page.waitForSelector(bar(28));
            bridge.send({ messageID: 52, text: 'Synchronising fonts', stepIndex: 3, numSteps: 4 });
            await page.waitForFunction((s) => document.querySelector(s + ' progress').value === 3, bar(52));
            assert.equal(await page.$eval(bar(52) + ' progress', (p) => p.max), 4);
            assert.match(await page.textContent(bar(52) + ' .progress-text'), /Synchronising fonts/);
            bridge.send({ messageID: 53 });
            await page.waitForSelector(bar(52), { state: 'detached' });
            assert.ok(await page.$(bar(28)), 'the other replication still shows');
            bridge.send({ messageID: 29 });
            await page.waitForSelector(bar(28), { state: 'detached' });

            const status = '#status';
            assert.equal(await page.getAttribute(status, 'data-enabled'), 'true');
            bridge.send({ messageID: 30, isEnabled: false });
            await page.waitForSelector(`${status}[data-enabled="false"]`);
            assert.match(await page.textContent(status), /disabled/);
            assert.ok(await page.isDisabled('#smart-list-new'));
            await page.click('#font-list [data-font-id="1"]', { force: true });
            bridge.send({ messageID: 30, isEnabled: true });
            await page.waitForSelector(`${status}[data-enabled="true"]`);
            assert.equal(bridge.messages(8).length, 0, 'no activation while disabled');

            bridge.send({ messageID: 61 });
            await page.waitForSelector(`${status}[data-online="false"]`);
            assert.match(await page.textContent(status), /Offline/);
            bridge.send({ messageID: 62 });
            bridge.send({ messageID: 64 });
            await page.waitForSelector(`${status}[data-online="true"]`);
            await waitForText(page, '#status', /Server workgroups/);

            // Web fonts: on through 9, reported by 22; no access disables the switch.
            const sw = '#web-fonts[role=switch]';
            assert.equal(await page.getAttribute(sw, 'aria-checked'), 'false');
            await page.click(sw);
            await bridge.waitFor((m) => m.messageID === 9);
            await page.waitForSelector(`${sw}[aria-checked="true"]`);
            assert.ok(await page.isDisabled(sw));
            bridge.send({ messageID: 23 });
            await page.waitForSelector(`${sw}[aria-checked="false"]:enabled`);
            bridge.send({ messageID: 58, canAccessGoogleFonts: 0 });
            await page.waitForSelector(`${sw}:disabled`);

            // Logged-in change asks again; data changed reloads the list; smart lists changed, the lists.
            const mark = bridge.received.length;
            bridge.send({ messageID: 50 });
            bridge.send({ messageID: 56 });
            bridge.send({ messageID: 43 });
            await bridge.waitFor((m) => m.messageID === 10, { after: mark });
            await bridge.waitFor((m) => m.messageID === 40 && m.smartListID === 1, { after: mark });
            await waitForText(page, '#status', /Sign-in changed/);
            assert.ok(bridge.received.slice(mark).filter((m) => m.messageID === 38).length >= 2);
        });
    });
});

describe('keyboard', () => {
    test('arrows, Home, End and Enter move through both lists; other keys go to Photoshop', async () => {
        await withPanel({ bridge: { fonts: 300, selection: 1 } }, async (page, bridge) => {
            const active = () => page.getAttribute('#font-list', 'aria-activedescendant');
            await page.focus('#font-list');
            assert.equal(await active(), 'font-row-1');
            await page.keyboard.press('ArrowDown');
            await page.keyboard.press('ArrowDown');
            assert.equal(await active(), 'font-row-3');
            await page.keyboard.press('End');
            assert.equal(await active(), 'font-row-300');
            assert.equal(await page.getAttribute('#font-row-300', 'aria-selected'), 'true');
            await page.keyboard.press('PageUp');
            const paged = Number((await active()).slice('font-row-'.length));
            assert.ok(paged < 300 && paged > 280, `PageUp went to ${paged}`);
            await page.keyboard.press('Home');
            assert.equal(await active(), 'font-row-1');
            assert.ok(await page.$eval('#font-row-1', (el) => el.getBoundingClientRect().top >=
                document.querySelector('#font-list').getBoundingClientRect().top));
            await page.keyboard.press('ArrowUp');
            assert.equal(await active(), 'font-row-1');
            await page.keyboard.press('Enter');
            assert.equal((await bridge.waitFor((m) => m.messageID === 8)).fontID, 1);

            await page.focus('#smart-lists');
            await page.keyboard.press('ArrowDown');
            assert.equal(await page.getAttribute('#smart-lists', 'aria-activedescendant'), 'smart-list-2');
            assert.equal(await page.getAttribute('#smart-list-2', 'aria-selected'), 'false');
            await page.keyboard.press('End');
            await page.keyboard.press('Enter');
            await page.waitForSelector('#smart-list-3[aria-selected="true"]');
            await bridge.waitFor((m) => m.messageID === 40 && m.smartListID === 3);

            await page.keyboard.press('Control+KeyZ');
            await page.keyboard.press('F5');
            const keys = await bridge.waitFor((m) => m.messageID === 67 && m.keyCode === 116);
            assert.equal(keys.isCtrlPressed, false);
            const undo = bridge.messages(67)[0];
            assert.deepEqual([undo.keyCode, undo.isCtrlPressed, undo.isShiftPressed, undo.isAltPressed],
                [90, true, false, false]);
            assert.equal(bridge.messages(67).length, 2, 'the panel\'s own keys and modifiers alone stay');

            await page.click('#smart-list-new');
            await page.keyboard.type('Xyz');
            await page.keyboard.press('Escape');
            await page.waitForTimeout(100);
            assert.equal(bridge.messages(67).length, 2, 'typing in a field stays in the panel');
        });
    });
});

describe('bad input', () => {
    test('malformed messages cause no page error and the panel goes on working', async () => {
        await withPanel({ bridge: { fonts: 40, selection: 2 } }, async (page, bridge) => {
            const startedWith = bridge.received.length; // the start-up's 40 included
            const junk = path.join(bridge.dir, 'junk.tmp');
            fs.writeFileSync(junk, Buffer.from([0, 1, 2, 9, 9, 10, 255, 254, 9, 10, 0x31, 9]));
            bridge.hostFiles.set('file:///home/designer/junk.tmp', junk);
            const raw = ['', 'garbage', '(', '()', '([1,2])', '(null)', '("text")', '({"messageID":"24"})',
                '({})', '({"messageID":24,"fontIDs":[2', '{"messageID":1e400}'];
            raw.forEach((r) => bridge.sendRaw(r));
            const messages = [
                { messageID: 99 }, { messageID: -1 }, { messageID: 2.5 },
                { messageID: 41 }, { messageID: 41, filename: 5 }, { messageID: 41, fontIDs: 'x' },
                { messageID: 41, filename: 'file:///C:/nowhere/missing.tmp' },
                { messageID: 41, filename: 'file:///home/designer/junk.tmp' },
                { messageID: 32 },
                { messageID: 32, fonts: [null, 1, 'x', { fontID: 'a' }, { fontID: 2, pngFilename: 7 }] },
                { messageID: 24 }, { messageID: 24, fontIDs: null },
                { messageID: 25, fontIDs: [1, '2', null, {}] },
                { messageID: 46 }, { messageID: 46, fontID: 'x', isConflictError: 'yes' },
                { messageID: 38, smartLists: 'x' },
                { messageID: 38, smartLists: [null, { smartListID: 'a' }, 3] },
                { messageID: 39 }, { messageID: 39, smartList: 5 },
                { messageID: 39, smartList: { smartListID: 'x' } },
                { messageID: 37, listDefinition: '%%%not base64' }, { messageID: 37, listDefinition: 12 },
                { messageID: 36, smartListID: 1, setIDs: 'x' },
                { messageID: 52, stepIndex: 'x', numSteps: null, text: 5 },
                { messageID: 53 }, { messageID: 69 },
                { messageID: 30, isEnabled: 'no' }, { messageID: 11, width: -5, height: 'x' },
                { messageID: 18, selection: 'x' }, { messageID: 20 }, { messageID: 10, isEnabled: [] },
                { messageID: 58, canAccessGoogleFonts: {} }, { messageID: 22, extra: 1 }
            ];
            messages.forEach((m) => bridge.send(m));
            // Valid JSON without the parentheses reaches the panel already parsed.
            bridge.sendRaw('{"messageID":38,"smartLists":[{"smartListID":1,"smartListName":"All fonts"},' +
                '{"smartListID":2,"smartListName":"Posters"}],"returnCode":0}');
            await page.waitForSelector('#smart-lists [data-smart-list-id="2"]');
            assert.equal(await page.$$eval('#smart-lists [role=option]', (els) => els.length), 2);
            // The list emptied by a bad 38 is chosen again and read again.
            const reloaded = await bridge.waitFor((m) => m.messageID === 40, { after: startedWith });
            const reload = bridge.received.indexOf(reloaded);
            await bridge.waitFor((m) => m.messageID === 13 && m.filename.startsWith('file:///C:/Users/'),
                { after: reload });

            // A list file, and a notification that comes before the file is read: the notification wins.
            bridge.sendFontListFile(bridge.fonts.slice(0, 5));
            bridge.send({ messageID: 24, fontIDs: [1, 2, 3] });
            await page.waitForSelector('#font-list [data-font-id="5"]');
            assert.deepEqual((await rows(page)).map((r) => r.state),
                ['active', 'active', 'active', 'inactive', 'inactive']);
            const deleted = bridge.received.filter((m) => m.messageID === 13).map((m) => m.filename);
            assert.ok(deleted.includes('file:///home/designer/junk.tmp'),
                'even an unreadable file is given back');
            bridge.send({ messageID: 41, filename: 'file:///C:/nowhere/missing.tmp' });
            await waitForText(page, '#message', /could not be read/);
            assert.equal(await page.getAttribute('#status', 'data-enabled'), 'true');
        });
    });
});

describe('look', () => {
    test('dark and light themes follow the host, legible, with no serious accessibility fault', async () => {
        await withPanel({ bridge: { fonts: 40, selection: 2 } }, async (page, bridge) => {
            await page.addScriptTag({ path: path.join(DEPS, 'axe-core', 'axe.min.js') });
            bridge.send({ messageID: 52, text: 'Synchronising fonts', stepIndex: 1, numSteps: 4 });
            bridge.send({ messageID: 46, fontID: 12, isConflictError: true, conflictID: 2 });
            await page.waitForSelector('#progress progress');
            await page.waitForFunction(allPreviewsLoaded);
            const look = () => page.evaluate(() => ({
                theme: document.documentElement.dataset.theme,
                bg: getComputedStyle(document.body).backgroundColor,
                fg: getComputedStyle(document.body).color
            }));
            const serious = async () => {
                const result = await page.evaluate(() =>
                    window.axe.run(document, { resultTypes: ['violations'] }));
                return result.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
                    .map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
            };

            const dark = await look();
            assert.deepEqual(dark, { theme: 'dark', bg: 'rgb(83, 83, 83)', fg: 'rgb(240, 240, 240)' });
            assert.deepEqual(await serious(), []);
            await page.screenshot({ path: path.join(outputDir(), 'panel-dark.png') });

            await page.evaluate(() => window.__adobe_cep_stand_in__.setTheme('light'));
            await page.waitForFunction(() => document.documentElement.dataset.theme === 'light');
            const light = await look();
            assert.deepEqual(light, { theme: 'light', bg: 'rgb(184, 184, 184)', fg: 'rgb(20, 20, 20)' });
            assert.deepEqual(await serious(), []);
            await page.screenshot({ path: path.join(outputDir(), 'panel-light.png') });

            for (const [name, theme, bg] of [['darkest', 'dark', 50], ['lightest', 'light', 240]]) {
                await page.evaluate((n) => window.__adobe_cep_stand_in__.setTheme(n), name);
                await page.waitForFunction((v) => getComputedStyle(document.body).backgroundColor ===
                    `rgb(${v}, ${v}, ${v})`, bg);
                assert.equal((await look()).theme, theme, name);
            }
            assert.deepEqual(await serious(), [], 'lightest');

            // The query dialog open, in the darkest theme.
            await page.evaluate(() => window.__adobe_cep_stand_in__.setTheme('darkest'));
            await page.click('#smart-list-query');
            await page.waitForSelector('#query-dialog input[type=checkbox]');
            assert.deepEqual(await serious(), [], 'query dialog');
        });
    });
});
