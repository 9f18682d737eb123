// placeholder, filled in by the send work
