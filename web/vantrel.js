// The JavaScript API of the WebAssembly module (appended inside the module
// with --post-js): check, checkRecords, parse, format and explain, each a
// call of web/api.cpp on the bytes of its input. Texts are strings (sent as
// UTF-8) or Uint8Array (sent as they are); kind is "func" (the default) or
// "filter"; options {bytes: "latin1"} maps field bytes to JSON strings as
// the tool's --bytes latin1 does.
(function () {
  var encoder = new TextEncoder();
  var decoder = new TextDecoder();
  var roles = ['mark', 'name', 'detail', 'key', 'value', 'joiner', 'dropped', 'rejected'];

  function bytesOf(input, what) {
    if (input instanceof Uint8Array) return input;
    if (typeof input === 'string') return encoder.encode(input);
    throw new TypeError(what + ' must be a string or a Uint8Array');
  }
  function kindOf(kind) {
    if (kind === undefined || kind === null || kind === 'func') return 0;
    if (kind === 'filter') return 1;
    throw new TypeError('kind must be "func" or "filter", not ' + JSON.stringify(kind));
  }
  function modeOf(options) {
    var bytes = options && options['bytes'];
    if (bytes === undefined || bytes === null || bytes === 'utf8') return 0;
    if (bytes === 'latin1') return 1;
    throw new TypeError('bytes must be "utf8" or "latin1", not ' + JSON.stringify(bytes));
  }
  // The input's bytes go to one buffer of the module's, kept between calls.
  var inPtr = 0;
  var inCapacity = 0;
  function place(bytes) {
    if (bytes.length + 1 > inCapacity) {
      if (inPtr) _free(inPtr);
      inCapacity = Math.max(bytes.length + 1, 2 * inCapacity, 4096);
      inPtr = _malloc(inCapacity);
      if (!inPtr) {
        inCapacity = 0;
        throw new Error('out of memory');
      }
    }
    HEAPU8.set(bytes, inPtr);
    return inPtr;
  }
  // Calls fn on the input's bytes and hands the answer's bytes (a view into
  // the module's memory, valid until read returns) to read; an Error with
  // the tool's message when fn fails.
  function call(fn, input, kind, options, what, read) {
    var bytes = bytesOf(input, what);
    var k = kindOf(kind);
    var m = modeOf(options);
    var r = fn(place(bytes), bytes.length, k, m);
    if (!r) throw new Error('out of memory');
    var status = HEAPU32[r >> 2];
    var size = HEAPU32[(r >> 2) + 1];
    var out = HEAPU8.subarray(r + 8, r + 8 + size);
    try {
      if (status !== 0) throw new Error(decoder.decode(out));
      return read(out);
    } finally {
      _free(r);
    }
  }
  function text(bytes) { return decoder.decode(bytes); }
  function copy(bytes) { return bytes.slice(); }

  Module['check'] = function (input, kind, options) {
    return call(_vt_check, input, kind, options, 'text', text);
  };
  Module['checkRecords'] = function (json, kind, options) {
    return call(_vt_check_records, json, kind, options, 'records', text);
  };
  Module['parse'] = function (input, kind, options) {
    return call(_vt_parse, input, kind, options, 'text', text);
  };
  Module['format'] = function (json, kind, options) {
    return call(_vt_format, json, kind, options, 'records', copy);
  };
  Module['explain'] = function (input, kind, options) {
    var out = call(_vt_explain, input, kind, options, 'text', copy);
    var size = out[0] | (out[1] << 8) | (out[2] << 16) | (out[3] << 24);
    var head = JSON.parse(decoder.decode(out.subarray(4, 4 + size)));
    var flat = head['parts'];
    var parts = [];
    for (var i = 0; i < flat.length; i += 3) {
      parts.push({'role': roles[flat[i]], 'start': flat[i + 1], 'end': flat[i + 2]});
    }
    return {'status': head['status'], 'parts': parts, 'written': out.slice(4 + size)};
  };
})();
