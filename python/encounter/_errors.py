"""What the module raises and warns about beyond the engine's own errors."""


class TrustWarning(UserWarning):
    """What the command line warns about: a field text that will not be read
    as it looks, or a test whose result should not be trusted."""


class PhysicsWarning(UserWarning):
    """A test whose motion leaves what Newtonian gravity describes: a body
    faster than a tenth of the speed of light. Its row is the model's answer;
    the row is kept and not counted as untrusted."""
