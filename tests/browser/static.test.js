'use strict';
// The extension as Photoshop 2020's extension host reads it: the manifest, and scripts at the
// language level of its Chromium 61.

const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const { describe, test } = require('node:test');
const { REPO, requireDep } = require('./harness');

const EXTENSION = path.join(REPO, 'panel', 'com.lumorand.panel');

// Elements of a small XML document: [{name, attrs, text, path}] where path is the names from the
// root down, joined by "/". Enough for the manifest (no CDATA, no entities beyond the basic five).
function xmlElements(xml) {
    const out = [];
    const stack = [];
    const tag = new RegExp(['<!--[\\s\\S]*?-->', '<\\?[\\s\\S]*?\\?>',
        '<(\\/?)([\\w:.-]+)((?:\\s+[\\w:.-]+\\s*=\\s*"[^"]*")*)\\s*(\\/?)>', '([^<]+)'].join('|'), 'g');
    let m;
    while ((m = tag.exec(xml)) !== null) {
        if (m[5] !== undefined) {
            if (stack.length && m[5].trim()) {
                stack[stack.length - 1].text += m[5].trim();
            }
            continue;
        }
        if (!m[2]) {
            continue;
        }
        if (m[1]) {
            const open = stack.pop();
            assert.equal(open && open.name, m[2], `</${m[2]}> closes <${open && open.name}>`);
            continue;
        }
        const attrs = {};
        for (const a of m[3].matchAll(/([\w:.-]+)\s*=\s*"([^"]*)"/g)) {
            attrs[a[1]] = a[2];
        }
        const el = { name: m[2], attrs, text: '', path: stack.map((s) => s.name).concat(m[2]).join('/') };
        out.push(el);
        if (!m[4]) {
            stack.push(el);
        }
    }
    assert.equal(stack.length, 0, 'every element is closed');
    return out;
}

describe('the manifest', () => {
    const elements = xmlElements(fs.readFileSync(path.join(EXTENSION, 'CSXS', 'manifest.xml'), 'utf8'));
    const all = (p) => elements.filter((e) => e.path === p || e.path.endsWith('/' + p));
    const one = (p) => {
        const found = all(p);
        assert.equal(found.length, 1, `one ${p}`);
        return found[0];
    };

    test('names the extension, its hosts and runtime', () => {
        const root = elements[0];
        assert.equal(root.name, 'ExtensionManifest');
        assert.equal(root.attrs.Version, '7.0');
        assert.equal(root.attrs.ExtensionBundleId, 'com.lumorand.panel');
        assert.deepEqual(all('ExtensionList/Extension').map((e) => e.attrs.Id), ['com.lumorand.panel']);
        const hosts = all('HostList/Host').map((h) => `${h.attrs.Name} ${h.attrs.Version}`).sort();
        assert.deepEqual(hosts, ['PHSP [21.0,22.0)', 'PHXS [21.0,22.0)']);
        const runtime = one('RequiredRuntimeList/RequiredRuntime');
        assert.deepEqual([runtime.attrs.Name, runtime.attrs.Version], ['CSXS', '9.0']);
    });

    test('starts on the plug-in\'s event, as a panel with file access, and its files exist', () => {
        assert.equal(one('DispatchInfoList/Extension').attrs.Id, 'com.lumorand.panel');
        assert.equal(one('Lifecycle/StartOn/Event').text, 'com.lumorand.startpanel');
        assert.equal(one('Lifecycle/AutoVisible').text, 'true');
        assert.equal(one('UI/Type').text, 'Panel');
        assert.equal(one('UI/Menu').text, 'Lumorand');
        const params = all('CEFCommandLine/Parameter').map((p) => p.text).sort();
        assert.deepEqual(params, ['--allow-file-access', '--allow-file-access-from-files']);
        for (const size of ['Size', 'MinSize', 'MaxSize']) {
            assert.ok(Number(one(`Geometry/${size}/Width`).text) > 0, size);
            assert.ok(Number(one(`Geometry/${size}/Height`).text) > 0, size);
        }
        const main = one('Resources/MainPath').text;
        assert.ok(fs.statSync(path.join(EXTENSION, main)).isFile(), main);
        const icons = all('Icons/Icon');
        assert.deepEqual(icons.map((i) => i.attrs.Type).sort(),
            ['DarkNormal', 'DarkRollOver', 'Normal', 'RollOver']);
        for (const icon of icons) {
            const bytes = fs.readFileSync(path.join(EXTENSION, icon.text));
            assert.equal(bytes.subarray(1, 4).toString('ascii'), 'PNG', icon.text);
        }
    });

    test('the reader refuses a manifest whose elements do not nest', () => {
        assert.throws(() => xmlElements('<A><B></A></B>'), /closes/);
        assert.throws(() => xmlElements('<A><B></B>'), /closed/);
    });
});

describe('scripts', () => {
    const acorn = requireDep('acorn');
    const parse2017 = (code) => acorn.parse(code, { ecmaVersion: 2017, sourceType: 'script' });
    const files = [];
    const walk = (dir) => {
        for (const e of fs.readdirSync(dir, { withFileTypes: true })) {
            const p = path.join(dir, e.name);
            if (e.isDirectory()) {
                walk(p);
            } else if (e.name.endsWith('.js')) {
                files.push(p);
            }
        }
    };
    walk(EXTENSION);
    walk(path.join(REPO, 'sim', 'cep'));

    test('every script the panel loads or the stand-in injects is ECMAScript 2017', () => {
        assert.ok(files.length >= 5, files.join(' '));
        for (const file of files) {
            assert.doesNotThrow(() => parse2017(fs.readFileSync(file, 'utf8')), path.relative(REPO, file));
        }
    });

    test('the page loads every script of the extension', () => {
        const html = fs.readFileSync(path.join(EXTENSION, 'index.html'), 'utf8');
        const loaded = [...html.matchAll(/<script src="([^"]+)"><\/script>/g)]
            .map((m) => path.join(EXTENSION, m[1]));
        assert.deepEqual(loaded.sort(), files.filter((f) => f.startsWith(EXTENSION)).sort());
    });

    test('the check rejects later syntax', () => {
        const later = ['a?.b;', 'a ?? b;', 'var o = {...p};', 'class C { x = 1; }',
            'async function f() { for await (const x of y) {} }'];
        for (const code of later) {
            assert.throws(() => parse2017(code), SyntaxError, code);
        }
        assert.doesNotThrow(() => parse2017('async function f() { await g(); }'));
    });
});
