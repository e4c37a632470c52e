package tarrowtest;

import java.io.FileInputStream;
import java.io.InputStream;
import java.util.Properties;

/** FOR TESTS ONLY: an application that reports what it received from the launcher. */
public class RealMain {
    public static void main(String[] args) throws Exception {
        System.out.println("args=" + String.join("|", args));
        System.out.println("maxMemory=" + Runtime.getRuntime().maxMemory());
        System.out.println("property=" + System.getProperty("tarrow.test"));
        System.out.println("classPath=" + System.getProperty("java.class.path"));
        Properties info = new Properties();
        try (InputStream in = new FileInputStream(args[1])) {
            info.load(in);
        }
        System.out.println("currentVm=" + info.getProperty("kiv.nl.current.vm"));
        System.out.println("testEnv=" + info.getProperty("kiv.nl.env.exact_case.TARROW_TEST_TEXT"));
        System.out.flush();
        System.exit(Integer.parseInt(args[args.length - 1]));
    }
}
