"""What the module raises and warns about beyond the engine's own errors."""


class TrustWarning(UserWarning):
    """What the command line warns about: a field text that will not be read
    as it looks, or a test whose result should not be trusted."""
