package com.example.hello;

import java.io.FileInputStream;
import java.io.InputStream;
import java.util.Properties;

/** The example application: says what it received from the launcher and exits with 7. */
public class Main {
    public static void main(String[] args) throws Exception {
        System.out.println(System.getProperty("hello.greeting", "Hello")
                + " from the example application, running in Java "
                + System.getProperty("java.version"));
        System.out.println("  arguments: " + String.join(" ", args));
        System.out.println("  properties file: " + args[0]);
        Properties info = new Properties();
        try (InputStream in = new FileInputStream(args[1])) {
            info.load(in);
        }
        System.out.println("  VM recorded by the launcher: " + info.getProperty("kiv.nl.current.vm"));
        System.out.println("  maximum heap: " + Runtime.getRuntime().maxMemory() / (1024 * 1024) + " MiB");
        System.exit(7);
    }
}
