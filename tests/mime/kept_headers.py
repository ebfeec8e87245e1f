"""The email package's default policy, with each header parsed once. The
package parses a header anew at each look-up, and the messages a checker
reads repeat most of their headers; a parsed header does not change, so the
result of one parse serves every look-up of the same name and value."""
from email import policy
from email.headerregistry import HeaderRegistry


class KeptHeaders(HeaderRegistry):
    def __init__(self):
        super().__init__()
        self.kept = {}

    def __call__(self, name, value):
        key = (name.lower(), value)
        header = self.kept.get(key)
        if header is None or header.name != name:
            header = self.kept[key] = super().__call__(name, value)
        return header


POLICY = policy.default.clone(header_factory=KeptHeaders())
