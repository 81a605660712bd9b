/*
 * Our own small interface over the extension host's object, window.__adobe_cep__: the plug-in's
 * events, the host environment and its skin, theme changes, key interest and the panel's size.
 * Nothing else in the panel touches __adobe_cep__.
 */
(function (global) {
    'use strict';

    var PLUGIN_TO_PANEL = 'com.lumorand.PluginToPanel';
    var PANEL_TO_PLUGIN = 'com.lumorand.PanelToPlugin';
    var THEME_CHANGED = 'com.adobe.csxs.events.ThemeColorChanged';
    var EXTENSION_ID = 'com.lumorand.panel';

    function host() {
        var h = global.__adobe_cep__;
        return h && typeof h === 'object' ? h : null;
    }

    var faultHandler = null;

    // A handler that threw: the panel goes on, and the fault is counted and logged.
    function reportFault(e) {
        if (faultHandler) {
            faultHandler(e);
        } else if (global.console) {
            global.console.warn('Lumorand: event handler failed:', e && e.message);
        }
    }

    function isPlainObject(value) {
        return value !== null && typeof value === 'object' && !Array.isArray(value);
    }

    // The plug-in wraps every message in parentheses: "(" + JSON + ")". The host hands event data
    // over as text, or already parsed when the text happened to be valid JSON. Returns the message
    // object, or null for anything that is not one.
    function unwrapMessage(data) {
        if (isPlainObject(data)) {
            return data;
        }
        if (typeof data !== 'string') {
            return null;
        }
        var text = data.trim();
        if (text.charAt(0) === '(' && text.charAt(text.length - 1) === ')') {
            text = text.slice(1, -1);
        }
        var value;
        try {
            value = JSON.parse(text);
        } catch (e) {
            return null;
        }
        return isPlainObject(value) ? value : null;
    }

    function extensionId() {
        var h = host();
        if (h && typeof h.getExtensionId === 'function') {
            try {
                var id = h.getExtensionId();
                if (typeof id === 'string' && id) {
                    return id;
                }
            } catch (e) {
                // fall through to our own ID
            }
        }
        return EXTENSION_ID;
    }

    function listen(type, handler) {
        var h = host();
        if (!h || typeof h.addEventListener !== 'function') {
            return function () {};
        }
        var listener = function (event) {
            try {
                handler(event || {});
            } catch (e) {
                reportFault(e);
            }
        };
        h.addEventListener(type, listener);
        return function () {
            if (typeof h.removeEventListener === 'function') {
                h.removeEventListener(type, listener);
            }
        };
    }

    // handler(message) for every well-formed message of the plug-in; onMalformed(data) (optional)
    // for event data that is not a message object.
    function onMessage(handler, onMalformed) {
        return listen(PLUGIN_TO_PANEL, function (event) {
            var message = unwrapMessage(event.data);
            if (message) {
                handler(message);
            } else if (onMalformed) {
                onMalformed(event.data);
            }
        });
    }

    function send(message) {
        var h = host();
        if (!h || typeof h.dispatchEvent !== 'function') {
            return false;
        }
        h.dispatchEvent({
            type: PANEL_TO_PLUGIN,
            scope: 'APPLICATION',
            appId: 'PHXS',
            extensionId: extensionId(),
            data: JSON.stringify(message)
        });
        return true;
    }

    function hostEnvironment() {
        var h = host();
        if (!h || typeof h.getHostEnvironment !== 'function') {
            return null;
        }
        try {
            var env = h.getHostEnvironment();
            env = typeof env === 'string' ? JSON.parse(env) : env;
            return isPlainObject(env) ? env : null;
        } catch (e) {
            return null;
        }
    }

    function channel(value) {
        var n = Number(value);
        if (!isFinite(n)) {
            return 0;
        }
        return Math.max(0, Math.min(255, Math.round(n)));
    }

    // A colour of the skin: {red, green, blue, alpha} directly or under "color".
    function readColor(value, fallback) {
        if (isPlainObject(value) && isPlainObject(value.color)) {
            value = value.color;
        }
        if (!isPlainObject(value) || value.red === undefined) {
            return fallback;
        }
        return { r: channel(value.red), g: channel(value.green), b: channel(value.blue) };
    }

    // The parts of the host's skin the panel draws with, with Photoshop's dark theme as default.
    function skin() {
        var env = hostEnvironment();
        var info = env && isPlainObject(env.appSkinInfo) ? env.appSkinInfo : {};
        var size = Number(info.baseFontSize);
        return {
            fontFamily: typeof info.baseFontFamily === 'string' ? info.baseFontFamily : '',
            fontSize: isFinite(size) && size > 0 ? size : 10,
            background: readColor(info.panelBackgroundColor, { r: 83, g: 83, b: 83 }),
            appBar: readColor(info.appBarBackgroundColor, null),
            highlight: readColor(info.systemHighlightColor, { r: 20, g: 115, b: 230 })
        };
    }

    function onThemeChange(handler) {
        return listen(THEME_CHANGED, function () {
            handler(skin());
        });
    }

    // keys: [{keyCode, ctrlKey?, altKey?, shiftKey?, metaKey?}]
    function registerKeyInterest(keys) {
        var h = host();
        if (h && typeof h.registerKeyEventsInterest === 'function') {
            h.registerKeyEventsInterest(JSON.stringify(keys));
        }
    }

    function resize(width, height) {
        var h = host();
        if (h && typeof h.resizeContent === 'function') {
            h.resizeContent(width, height);
        }
    }

    global.LumorandCep = {
        available: function () {
            return host() !== null;
        },
        unwrapMessage: unwrapMessage,
        onMessage: onMessage,
        send: send,
        hostEnvironment: hostEnvironment,
        skin: skin,
        onThemeChange: onThemeChange,
        registerKeyInterest: registerKeyInterest,
        resize: resize,
        extensionId: extensionId,
        onFault: function (handler) {
            faultHandler = handler;
        }
    };
})(window);
