'use strict';
// The Lumorand panel page in Debian's chromium, served by the event library's bridge, with the
// stand-in of the host object: what the browser scenarios and the demo share.
const fs = require('fs');
const path = require('path');
const { chromium } = require('playwright-core');

// Opens the panel; errors collects the page's uncaught errors and console errors.
async function openPanel(bridge, repo, viewport = { width: 320, height: 560 }) {
    const base = bridge.replace(/\/?$/, '/');
    const cep = fs.readFileSync(path.join(repo, 'sim', 'cep', 'adobe-cep.js'), 'utf8');
    const browser = await chromium.launch({
        executablePath: '/usr/bin/chromium',
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
            '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    const errors = [];
    try {
        const page = await browser.newPage({ viewport });
        page.setDefaultTimeout(15000);
        page.on('pageerror', (error) => errors.push(`page error: ${error.message}`));
        page.on('console', (message) => {
            if (message.type() === 'error') {
                errors.push(`console error: ${message.text()}`);
            }
        });
        await page.addInitScript(`window.__PORTOLAN_BRIDGE__ = ${JSON.stringify(base)};\n${cep}`);
        await page.goto(`${base}index.html`);
        return { browser, page, errors, base };
    } catch (error) {
        await browser.close();
        throw error;
    }
}

// Fills the name dialog that a button opens.
async function nameDialog(page, button, name) {
    await page.click(button);
    await page.locator('#name-dialog').waitFor({ state: 'visible' });
    await page.fill('#name-input', name);
    await page.click('#name-ok');
    await page.locator('#name-dialog').waitFor({ state: 'hidden' });
}

// Adds members to the chosen smart list's query through the query dialog: [[kind, id], ...].
async function addToQuery(page, members) {
    await page.click('#smart-list-query');
    await page.locator('#query-dialog').waitFor({ state: 'visible' });
    for (const [kind, id] of members) {
        await page.selectOption('#query-add-kind', kind);
        await page.fill('#query-add-id', String(id));
        await page.click('#query-add');
        await page.locator(`#query-dialog input[type=checkbox][data-kind="${kind}"][data-id="${id}"]:checked`)
            .waitFor();
    }
    await page.click('#query-ok');
}

module.exports = { openPanel, nameDialog, addToQuery };
