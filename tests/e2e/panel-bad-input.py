#!/usr/bin/env python3
"""Writes a photoshop-sim scenario that sends the plug-in's panel listener malformed messages:
text that is not JSON, JSON that is not an object, message IDs of the wrong type or unknown, known
messages with keys missing or of the wrong type, huge texts, invalid UTF-8 (lone surrogates),
deep nesting. None of them has an answer. Prints the scenario on standard output and, on standard
error, how many of the messages are expected to be reported in the log (those with a known ID or
no ID at all: an unknown ID is noted at level 0, which is never written).

    panel-bad-input.py DISTINCT REPEAT
"""
import json
import random
import sys

distinct, repeat = int(sys.argv[1]), int(sys.argv[2])
rng = random.Random(20261207)

# Messages that answer, and the keys whose absence or wrong type ends them without an answer.
with_keys = {
    8: {"fontID": 1, "postscriptName": "A", "displayName": "A"},
    12: {"windowWidth": 1, "windowHeight": 1},
    13: {"filename": "file:///x"},
    17: {"selection": 1, "savesSmartList": True},
    32: {"highPriorityFontIDs": [], "fontIDs": [], "smartListID": 0},
    33: {"smartListID": 1, "smartListName": "n"},
    34: {"smartListID": 1},
    35: {"smartListID": 1, "workgroupIDs": [], "setIDs": [], "smartSetIDs": []},
    36: {"smartListID": 1},
    37: {"smartListID": 1},
    39: {"smartListName": "n"},
    40: {"smartListID": 1},
    42: {"smartListID": 1, "workgroupIDs": [], "setIDs": [], "smartSetIDs": []},
    44: {"smartListName": "n", "smartListID": 1},
    47: {"fontID": 1, "version": "v"},
    67: {"isCtrlPressed": False, "isShiftPressed": False, "isAltPressed": False, "keyCode": 65},
}
wrong_values = ["x", 1.5, None, [], {}, True, 2**40, -2**40, "\ud800", "é" * 50]


def not_json():
    choices = [
        lambda: "".join(rng.choice("{}[]\":,0123456789abc \\") for _ in range(rng.randint(0, 60))),
        lambda: '{"messageID": 16' + "," * rng.randint(0, 3),
        lambda: '{"messageID": ' + str(rng.randint(0, 99)) + "}" + rng.choice(["x", "}", "]", ","]),
        lambda: "(" + json.dumps({"messageID": 16}) + ")",
        lambda: "{'messageID': 16}",
        lambda: "[" * rng.randint(128, 1000) + "]" * rng.randint(0, 1000),
        lambda: '{"a":' * rng.randint(128, 600),
        lambda: "",
    ]
    return rng.choice(choices)()


def not_an_object():
    return json.dumps(rng.choice([[16], "16", 16, True, None, [{"messageID": 16}], 3.5]))


def wrong_id():
    return json.dumps({"messageID": rng.choice(["16", 16.5, None, [16], {"id": 16}, 2**33, -2**33, False])})


def unknown_id():
    return json.dumps({"messageID": rng.choice([0, 1, 7, 14, 15, 19, 20, 21, 57, 99, 1000, -1, 2**31 - 1])})


def broken_message():
    message_id = rng.choice(sorted(with_keys))
    message = {"messageID": message_id}
    message.update(with_keys[message_id])
    key = rng.choice(sorted(with_keys[message_id]))
    if rng.random() < 0.4:
        del message[key]
    else:
        good = with_keys[message_id][key]
        candidates = [value for value in wrong_values if type(value) is not type(good) or value is None]
        if isinstance(good, list):
            candidates += [[1, "x"], [1.5], [None], [2**40]]
        message[key] = rng.choice(candidates)
    return json.dumps(message, ensure_ascii=rng.random() < 0.5)


def huge():
    text = "".join(rng.choice("abcdefghij\u00e9\u4e2d") for _ in range(rng.randint(100000, 150000)))
    return json.dumps({"messageID": 33, "smartListID": "1", "smartListName": text}, ensure_ascii=False)


kinds = [(not_json, True), (not_an_object, True), (wrong_id, True), (unknown_id, False),
         (broken_message, True), (huge, True)]
weights = [30, 10, 10, 10, 39.5, 0.5]
steps = []
reported = 0
for _ in range(distinct):
    make, logged = rng.choices(kinds, weights)[0]
    steps.append({"do": "panel-send", "message": make(), "count": repeat})
    reported += repeat if logged else 0
print(json.dumps({"steps": steps}))
print(reported, file=sys.stderr)
