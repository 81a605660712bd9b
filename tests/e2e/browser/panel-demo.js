'use strict';
// The demo's last look: the Lumorand panel in headless chromium on the demo's Photoshop, with a
// smart list of the font manager's library made through the panel, scrolled to the first font
// that is active now, and a screenshot of it. Prints one report line.
// Environment as for panel-browser.js (E2E_BRIDGE, E2E_DIR, E2E_REPO).
const path = require('path');
const { openPanel, nameDialog, addToQuery } = require('./panel-page');

const bridge = process.env.E2E_BRIDGE;
const dir = process.env.E2E_DIR;
const repo = process.env.E2E_REPO;

async function main() {
    const { browser, page, errors } = await openPanel(bridge, repo, { width: 360, height: 520 });
    try {
        await page.waitForSelector('#status[data-enabled="true"]');
        await nameDialog(page, '#smart-list-new', 'Font Library');
        await page.locator('#smart-lists [role="option"]', { hasText: 'Font Library' }).click();
        await addToQuery(page, [['workgroup', 1]]);
        const rows = page.locator('#font-list [role="option"][data-font-id]');
        await rows.first().waitFor();
        // The fonts the demo's documents had activated: scroll until the first of them shows.
        const count = Number((await page.textContent('#font-count')).replace(/\D/g, '')) || 0;
        const listed = page.locator('#font-list .badge[data-state="active"]');
        for (let top = 0; (await listed.count()) === 0 && top < 40 * count; top += 120) {
            await page.evaluate((y) => { document.getElementById('font-list').scrollTop = y; }, top);
            await page.waitForTimeout(50);
        }
        await page.locator('#font-list img.preview[data-loaded="true"]').first().waitFor({ timeout: 20000 });
        await page.waitForTimeout(300);
        const file = path.join(dir, 'panel-demo.png');
        await page.screenshot({ path: file });
        const shown = await listed.count();
        console.log('panel      the Lumorand panel in headless chromium: the smart list "Font Library" of ' +
            `${count} fonts, ${shown} of those in view active; screenshot ${file}`);
    } finally {
        await browser.close();
    }
    for (const error of errors) {
        console.log(error);
    }
    return errors.length > 0 ? 1 : 0;
}

main().then((code) => process.exit(code), (error) => {
    console.log(`the panel could not be shown: ${error.message}`);
    process.exit(1);
});
