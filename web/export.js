// createVantrel(): the module with its API, when it is ready (appended after
// the module with --extern-post-js). In Node, require() gives createVantrel,
// which also names itself: require('./vantrel.js').createVantrel.
function createVantrel(options) {
  return createVantrelModule(options || {});
}
if (typeof module === 'object' && typeof exports === 'object') {
  module.exports = createVantrel;
  module.exports.createVantrel = createVantrel;
}
