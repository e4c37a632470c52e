"""FOR TESTS ONLY: the Linux side of tests/standins/JavaBridge.cpp. Runs this machine's `java`
with the arguments a Windows VM would have received, their Windows paths (drive letters through
the Wine prefix's dosdevices, ";" between class-path entries) turned into Linux paths, and
writes the JVM's exit code and a line end into the result file named first. A Java argument file
("@file") is handed on as it is, only its own path mapped, so that the JVM reads the launcher's
text itself; where its class path names Windows files, KIV_JAVA_BRIDGE_BOOT (a Linux path) names
a jar put on the JVM's boot class path, from which the main class is then loaded. The JVM's output
goes to "<result>.out" and "<result>.err", which the Windows side hands on to its own standard
handles: Wine does not give a Linux program a pipe that a Windows program created."""
import os
import re
import subprocess
import sys

PREFIX = os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine"))
DRIVE_PATH = re.compile(r"^([A-Za-z]):[\\/]")
# The launcher writes its own two arguments (properties file, VM information file) with "/";
# the application's arguments are passed on as they are.
LAUNCHER_PATH = re.compile(r"^[A-Za-z]:/")


def unix(path):
    match = DRIVE_PATH.match(path)
    if not match:
        return path
    root = os.path.realpath(os.path.join(PREFIX, "dosdevices", match.group(1).lower() + ":"))
    return os.path.join(root, path[3:].replace("\\", "/"))


def unix_class_path(text):
    return ":".join(unix(entry) for entry in text.split(";") if entry)


def main():
    result, arguments = sys.argv[1], sys.argv[2:]
    mapped = []
    for i, argument in enumerate(arguments):
        if i > 0 and arguments[i - 1] in ("-classpath", "-cp"):
            mapped.append(unix_class_path(argument))
        elif LAUNCHER_PATH.match(argument):
            mapped.append(unix(argument))
        elif argument.startswith("@") and DRIVE_PATH.match(argument[1:]):
            mapped.append("@" + unix(argument[1:]))
        else:
            mapped.append(argument)
    if os.environ.get("KIV_JAVA_BRIDGE_BOOT"):
        mapped.insert(0, "-Xbootclasspath/a:" + os.environ["KIV_JAVA_BRIDGE_BOOT"])
    environment = dict(os.environ)
    if "CLASSPATH" in environment:
        environment["CLASSPATH"] = unix_class_path(environment["CLASSPATH"])
    target = unix(result)
    with open(target + ".out", "wb") as out, open(target + ".err", "wb") as err:
        code = subprocess.call(["java", *mapped], env=environment, stdout=out, stderr=err,
                               stdin=subprocess.DEVNULL)
    with open(target, "w") as f:
        f.write("%d\n" % code)


if __name__ == "__main__":
    main()
