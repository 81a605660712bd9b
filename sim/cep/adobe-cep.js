/*
 * Stand-in of the extension host's window.__adobe_cep__ for running the Lumorand panel in an
 * ordinary browser. It talks to the event library's loopback bridge:
 *   GET  <bridge>/events    server-sent events, one JSON event a line, from the host side;
 *   POST <bridge>/dispatch  {type, data, scope, appId}, an event from the panel.
 * The bridge's base URL is window.__PORTOLAN_BRIDGE__, else the page's own origin.
 *
 * File URLs in events from the host become <bridge>/host-file/<encoded URL>, so that the page
 * can load them over HTTP; the panel's own events get the original URLs back.
 *
 * Tests drive it through window.__adobe_cep_stand_in__: setTheme('darkest'|'dark'|'light'|
 * 'lightest'), keyInterest(), size(), events().
 */
(function (global) {
    'use strict';

    var EXTENSION_ID = 'com.lumorand.panel';
    var THEME_CHANGED = 'com.adobe.csxs.events.ThemeColorChanged';

    var THEMES = {
        darkest: { bg: 50, bar: 38 },
        dark: { bg: 83, bar: 66 },
        light: { bg: 184, bar: 214 },
        lightest: { bg: 240, bar: 250 }
    };

    function bridgeBase() {
        var base = global.__PORTOLAN_BRIDGE__ || global.location.origin;
        return String(base).replace(/\/+$/, '');
    }

    var listeners = {}; // type -> [{handler, thisObj}]
    var log = [];
    var keyInterest = null;
    var contentSize = null;
    var themeName = 'dark';
    var source = null;
    var lastPost = Promise.resolve();

    function grey(v, alpha) {
        return { red: v, green: v, blue: v, alpha: alpha === undefined ? 255 : alpha };
    }

    function environment() {
        var t = THEMES[themeName];
        return {
            appName: 'PHXS',
            appVersion: '21.2.0',
            appLocale: 'en_US',
            appUILocale: 'en_US',
            appId: 'PHXS',
            isAppOnline: true,
            appSkinInfo: {
                baseFontFamily: 'Tahoma',
                baseFontSize: 10,
                panelBackgroundColor: { antialiasLevel: 0, type: 1, color: grey(t.bg) },
                appBarBackgroundColor: { antialiasLevel: 0, type: 1, color: grey(t.bar) },
                systemHighlightColor: { red: 20, green: 115, blue: 230, alpha: 255 }
            }
        };
    }

    // ---- File URLs ----

    var FILE_URL = /^file:\/\//i;

    function hostFilePrefix() {
        return bridgeBase() + '/host-file/';
    }

    function toBridgeUrl(text) {
        return FILE_URL.test(text) ? hostFilePrefix() + encodeURIComponent(text) : text;
    }

    function toHostUrl(text) {
        var prefix = hostFilePrefix();
        if (text.indexOf(prefix) !== 0) {
            return text;
        }
        try {
            return decodeURIComponent(text.slice(prefix.length));
        } catch (e) {
            return text;
        }
    }

    function mapStrings(value, fn) {
        if (typeof value === 'string') {
            return fn(value);
        }
        if (Array.isArray(value)) {
            return value.map(function (v) {
                return mapStrings(v, fn);
            });
        }
        if (value && typeof value === 'object') {
            var out = {};
            Object.keys(value).forEach(function (k) {
                out[k] = mapStrings(value[k], fn);
            });
            return out;
        }
        return value;
    }

    // Rewrites the URLs inside event data: JSON (also the plug-in's "(" JSON ")") is rewritten
    // value by value; other text by pattern.
    function rewriteData(data, fn, pattern) {
        if (typeof data !== 'string') {
            return mapStrings(data, fn);
        }
        var wrapped = data.charAt(0) === '(' && data.charAt(data.length - 1) === ')';
        var inner = wrapped ? data.slice(1, -1) : data;
        try {
            var text = JSON.stringify(mapStrings(JSON.parse(inner), fn));
            return wrapped ? '(' + text + ')' : text;
        } catch (e) {
            return data.replace(pattern, function (url) {
                return fn(url);
            });
        }
    }

    // ---- Events ----

    function deliver(event) {
        var list = (listeners[event.type] || []).slice();
        list.forEach(function (entry) {
            try {
                entry.handler.call(entry.thisObj || global, event);
            } catch (e) {
                setTimeout(function () {
                    throw e;
                }, 0);
            }
        });
    }

    function onStreamMessage(message) {
        var raw;
        try {
            raw = JSON.parse(message.data);
        } catch (e) {
            return;
        }
        if (!raw || typeof raw.type !== 'string' || !listeners[raw.type]) {
            return;
        }
        var data = raw.data === undefined || raw.data === null ? '' : raw.data;
        data = rewriteData(data, toBridgeUrl, /file:\/\/[^"\s)]*/gi);
        // The host hands data over already parsed when it is valid JSON.
        if (typeof data === 'string') {
            try {
                data = JSON.parse(data);
            } catch (e) {
                // stays text
            }
        }
        var event = {
            type: raw.type,
            scope: raw.scope === 1 ? 'APPLICATION' : raw.scope,
            appId: raw.appId,
            extensionId: raw.extensionId,
            data: data
        };
        log.push({ direction: 'in', type: event.type, data: event.data });
        deliver(event);
    }

    function openStream() {
        if (source) {
            return;
        }
        source = new global.EventSource(bridgeBase() + '/events');
        source.onmessage = onStreamMessage;
    }

    function dispatchEvent(event) {
        if (!event || typeof event.type !== 'string') {
            return;
        }
        var data = event.data === undefined || event.data === null ? '' : event.data;
        if (typeof data !== 'string') {
            data = JSON.stringify(data);
        }
        var prefix = hostFilePrefix().replace(/[.*+?^${}()|[\]\\/]/g, '\\$&');
        data = rewriteData(data, toHostUrl, new RegExp(prefix + '[^"\\s)]*', 'g'));
        log.push({ direction: 'out', type: event.type, data: data });
        var body = JSON.stringify({ type: event.type, data: data, scope: 1, appId: event.appId || 'PHXS' });
        // One request after the other, so the host sees the panel's events in order.
        lastPost = lastPost.then(function () {
            return global.fetch(bridgeBase() + '/dispatch', {
                method: 'POST',
                headers: { 'Content-Type': 'application/json' },
                body: body
            });
        }).catch(function () {
            // a failed dispatch is lost, as the host would lose it
        });
    }

    function addEventListener(type, handler, thisObj) {
        if (typeof handler !== 'function') {
            return;
        }
        (listeners[type] = listeners[type] || []).push({ handler: handler, thisObj: thisObj });
        if (type !== THEME_CHANGED) {
            openStream();
        }
    }

    function removeEventListener(type, handler, thisObj) {
        var list = listeners[type];
        if (!list) {
            return;
        }
        listeners[type] = list.filter(function (entry) {
            return entry.handler !== handler || entry.thisObj !== thisObj;
        });
    }

    global.__adobe_cep__ = {
        addEventListener: addEventListener,
        removeEventListener: removeEventListener,
        dispatchEvent: dispatchEvent,
        getHostEnvironment: function () {
            return JSON.stringify(environment());
        },
        registerKeyEventsInterest: function (jsonText) {
            keyInterest = JSON.parse(jsonText);
        },
        resizeContent: function (width, height) {
            contentSize = { width: width, height: height };
        },
        getExtensionId: function () {
            return EXTENSION_ID;
        }
    };

    global.__adobe_cep_stand_in__ = {
        setTheme: function (name) {
            if (!THEMES[name]) {
                throw new Error('unknown theme: ' + name);
            }
            themeName = name;
            setTimeout(function () {
                deliver({ type: THEME_CHANGED, scope: 'APPLICATION', appId: 'PHXS', extensionId: EXTENSION_ID,
                    data: '' });
            }, 0);
        },
        keyInterest: function () {
            return keyInterest;
        },
        size: function () {
            return contentSize;
        },
        events: function () {
            return log.slice();
        }
    };
})(window);
