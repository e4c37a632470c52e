package com.mirov.util.jvm;

import java.io.File;

/**
 * A reference validator: the launcher runs {@code Validator 1 WORD} in a candidate VM when a
 * token of the valid VM list names WORD, and accepts the VM only when this exits with 0.
 * Applications may ship their own validator of the same name instead.
 *
 * <p>This one accepts a VM that can start a thread, can create and delete a temporary file, and,
 * where WORD reads as a version, optionally after "JAVA" ("JAVA11+", "JAVA1.8*", "11+"), whose
 * {@code java.specification.version} satisfies it: "+" means that version or later, "*" and a
 * plain version mean that version's family. (In the valid VM list a bare version is read as the
 * token's version pattern, so lists name this validator's versions with "JAVA".) Any other WORD
 * sets no version condition. Exit code 1 rejects the VM.
 */
public final class Validator {
    private Validator() {}

    public static void main(String[] args) {
        String word = args.length > 1 ? args[1] : "";
        boolean accepted = canStartAThread() && canUseTemporaryFiles()
                && versionSatisfies(System.getProperty("java.specification.version", ""), word);
        System.exit(accepted ? 0 : 1);
    }

    static boolean canStartAThread() {
        final boolean[] ran = new boolean[1];
        Thread thread = new Thread(new Runnable() {
            public void run() {
                ran[0] = true;
            }
        });
        thread.start();
        try {
            thread.join(10000);
        } catch (InterruptedException e) {
            return false;
        }
        return ran[0];
    }

    static boolean canUseTemporaryFiles() {
        try {
            File file = File.createTempFile("validator", ".tmp");
            return file.delete();
        } catch (Exception e) {
            return false;
        }
    }

    /** The feature release of a specification version: "1.8" is 8, "11" is 11; -1 if unreadable. */
    static int release(String version) {
        String text = version.startsWith("1.") ? version.substring(2) : version;
        int end = 0;
        while (end < text.length() && Character.isDigit(text.charAt(end)))
            ++end;
        return end == 0 ? -1 : Integer.parseInt(text.substring(0, end));
    }

    static boolean versionSatisfies(String specification, String word) {
        if (word.toUpperCase().startsWith("JAVA"))
            word = word.substring(4);
        if (!word.matches("[0-9]+(\\.[0-9]+)*[+*]?"))
            return true; // not a version: no condition
        boolean orLater = word.endsWith("+");
        String number = word.endsWith("+") || word.endsWith("*")
                ? word.substring(0, word.length() - 1) : word;
        int wanted = release(number);
        int actual = release(specification);
        if (wanted < 0 || actual < 0)
            return false;
        return orLater ? actual >= wanted : actual == wanted;
    }
}
